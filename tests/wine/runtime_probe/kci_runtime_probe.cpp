// A test-only DLL, built as the shipping one is: the runtime stand-ins of
// cmake/mingw/lean_runtime.cpp, the action frame and the same flags. One
// action makes a standard container throw a length error; the other throws
// and catches on several threads at once.
#include <windows.h>
#include <msi.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "runtime/action_frame.h"
#include "runtime/handles.h"
#include "runtime/log.h"

extern "C" UINT __stdcall ThrowLengthError(MSIHANDLE session) {
    return kci::RunAction(session, L"ThrowLengthError", kci::ModuleContext::Open, [&] {
        std::vector<int> values;
        values.reserve(values.max_size() + 1);
        return ERROR_SUCCESS;
    });
}

namespace {

constexpr int kThreads = 8;
constexpr int kThrows = 200;
LONG started = 0;
LONG caught = 0;

// Each thread waits for all the others, so that their first throws (which
// set up the runtime's thread-locals) race, then counts the throws it caught
// with its own text.
DWORD WINAPI ThrowAndCatch(void*) {
    const std::string mine = std::to_string(GetCurrentThreadId());
    InterlockedIncrement(&started);
    while (InterlockedCompareExchange(&started, 0, 0) < kThreads + 1) Sleep(0);
    for (int i = 0; i < kThrows; ++i) {
        try {
            throw std::runtime_error(mine);
        } catch (const std::runtime_error& e) {
            if (e.what() == mine) InterlockedIncrement(&caught);
        }
    }
    return 0;
}

}  // namespace

// The calling thread throws too, so it holds the thread-locals' block.
extern "C" UINT __stdcall ThrowOnThreads(MSIHANDLE session) {
    return kci::RunAction(session, L"ThrowOnThreads", kci::ModuleContext::Open, [&] {
        started = caught = 0;
        std::vector<kci::ScopedHandle> threads;
        std::vector<HANDLE> waits;
        for (int i = 0; i < kThreads; ++i) {
            kci::ScopedHandle thread(CreateThread(nullptr, 0, ThrowAndCatch, nullptr, 0, nullptr));
            if (!thread) InterlockedIncrement(&started);  // no waiting for a thread that never came
            if (!thread) continue;
            waits.push_back(thread.Get());
            threads.push_back(std::move(thread));
        }
        ThrowAndCatch(nullptr);
        WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), TRUE, INFINITE);
        kci::LogMessage(session, L"Caught %d of %d", static_cast<int>(caught), (kThreads + 1) * kThrows);
        return ERROR_SUCCESS;
    });
}
