// Actions that use COM, called as the installer calls them: on a thread of
// their own. The test runner's main thread is a single-threaded apartment,
// where the multithreaded one that WMI is asked in cannot be joined.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "bench/bench.h"

namespace actions {

// What CoInitializeEx answers on this thread now; the thread is left as it was.
inline HRESULT ComStateOfThisThread() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

// Runs `work` on a fresh thread and waits for it; true when COM on that
// thread answered the same before and after.
template <class Work>
bool KeepsComState(Work&& work) {
    bool kept = false;
    std::thread thread([&] {
        const HRESULT before = ComStateOfThisThread();
        work();
        kept = ComStateOfThisThread() == before;
    });
    thread.join();
    return kept;
}

// As KeepsComState, for work that must leave COM as it found it.
template <class Work>
void OnActionThread(Work&& work) {
    EXPECT_TRUE(KeepsComState(std::forward<Work>(work))) << "COM left unbalanced";
}

inline UINT CallOnActionThread(const char* action, const bench::Session& session) {
    UINT result = 0;
    OnActionThread([&] { result = bench::CallAction(action, session); });
    return result;
}

}  // namespace actions
