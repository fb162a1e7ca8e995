// The bench itself: sessions that overlap must each keep their own record.
#include <gtest/gtest.h>

#include "bench/bench.h"
#include "runtime/log.h"

TEST(Bench, OverlappingSessionsRecordTheirOwnMessages) {
    auto first = bench::Package().Open();
    first->ClearRecords();
    kci::LogMessage(first->Handle(), L"to the first");
    {
        auto second = bench::Package().Open();
        kci::LogMessage(second->Handle(), L"to the second");
        EXPECT_EQ(second->Log(), (bench::Lines{L"to the second"}));
    }
    // Nothing of the inner session's opening or closing reached the outer one.
    EXPECT_EQ(first->Messages().size(), 1u);
    kci::LogMessage(first->Handle(), L"first again");
    EXPECT_EQ(first->Log(), (bench::Lines{L"to the first", L"first again"}));
}
