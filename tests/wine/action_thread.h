// Actions that use COM, called as the installer calls them: on a thread of
// their own. The test runner's main thread is a single-threaded apartment,
// where the multithreaded one that WMI is asked in cannot be joined.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "bench/bench.h"

namespace actions {

// What CoInitializeEx answers on this thread now; the thread is left as it was.
inline HRESULT ComStateOfThisThread() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

// Runs `work` on a fresh thread and waits for it; `work` must leave COM on
// that thread as it found it.
template <class Work>
void OnActionThread(Work&& work) {
    std::thread thread([&] {
        const HRESULT before = ComStateOfThisThread();
        work();
        EXPECT_EQ(ComStateOfThisThread(), before) << "COM left unbalanced";
    });
    thread.join();
}

inline UINT CallOnActionThread(const char* action, const bench::Session& session) {
    UINT result = 0;
    OnActionThread([&] { result = bench::CallAction(action, session); });
    return result;
}

}  // namespace actions
