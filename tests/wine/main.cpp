#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "bench/bench.h"

// The library's records of shared changes and reboot requests, which the
// actions under test write for the bench's packages, go before and after.
struct LibraryRecords : testing::Environment {
    void SetUp() override { SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI"); }
    void TearDown() override { SetUp(); }
};

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new LibraryRecords);
    CoInitialize(nullptr);  // the bench makes GUIDs for its packages
    bench::Library();       // fail early when the library does not load
    return RUN_ALL_TESTS();
}
