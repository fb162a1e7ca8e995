#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "bench/bench.h"

// The library's records of shared changes and reboot requests, which the
// actions under test write for the bench's packages (each with its own
// product code), go before and after every test, so no test sees another's.
struct LibraryRecords : testing::EmptyTestEventListener {
    static void Clear() { SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI"); }
    void OnTestStart(const testing::TestInfo&) override { Clear(); }
    void OnTestEnd(const testing::TestInfo&) override { Clear(); }
};

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LibraryRecords);
    CoInitialize(nullptr);  // the bench makes GUIDs for its packages
    bench::Library();       // fail early when the library does not load
    return RUN_ALL_TESTS();
}
