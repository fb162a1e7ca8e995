#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "bench/bench.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitialize(nullptr);  // the bench makes GUIDs for its packages
    bench::Library();       // fail early when the library does not load
    return RUN_ALL_TESTS();
}
