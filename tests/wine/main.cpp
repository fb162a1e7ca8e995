#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "bench/bench.h"

// The library's records of shared changes and reboot requests, which the
// actions under test write for the bench's packages (each with its own
// product code), go before and after every test, so no test sees another's:
// the fault sweep's before and after the sweep, never in its children, whose
// stages in the one lane that uses them would lose each other's.
struct LibraryRecords : testing::EmptyTestEventListener {
    static void Clear() { SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI"); }
    void OnTestStart(const testing::TestInfo&) override { Clear(); }
    void OnTestEnd(const testing::TestInfo&) override { Clear(); }
};

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A fault sweep's child inherits no handle and reports through its own
    // file (fault_sweep_test.cpp): what it prints goes nowhere.
    const bool sweepChild = GetEnvironmentVariableA("KCI_FAULT_OUT", nullptr, 0) > 0;
    if (sweepChild) freopen("NUL", "w", stdout), freopen("NUL", "w", stderr);
    else testing::UnitTest::GetInstance()->listeners().Append(new LibraryRecords);
    CoInitialize(nullptr);  // the bench makes GUIDs for its packages
    bench::Library();       // fail early when the library does not load
    return RUN_ALL_TESTS();
}
