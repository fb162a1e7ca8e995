// The bench itself: sessions that overlap must each keep their own record.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <functional>

#include "bench/bench.h"
#include "bench/log_match.h"
#include "runtime/log.h"

TEST(Bench, OverlappingSessionsRecordTheirOwnMessages) {
    auto first = bench::Package().Open();
    EXPECT_TRUE(first->Messages().empty());  // opening leaves no records
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

// The log checks fail where they must: a whole log line for line, or the
// expected lines as one run inside it.
TEST(Bench, LogChecksFailOnAnExtraMissingOrMisplacedLine) {
    using bench::Lines;
    const Lines log = {L"Entering X", L"Result = 1", L"Error: 5", L"Exiting X"};
    struct Case {
        const char* name;
        std::function<void()> check;
        const char* failure;  // null: passes
    };
    const Case cases[] = {
        {"whole log", [&] { bench::ExpectLog(log, {L"Entering X", L"Result = 1", L"Error: *", L"Exiting X"}); },
         nullptr},
        {"extra log line", [&] { bench::ExpectLog(log, {L"Entering X", L"Result = 1", L"Error: *"}); },
         "first extra line: Exiting X"},
        {"missing log line", [&] { bench::ExpectLog({L"Entering X"}, {L"Entering X", L"Exiting X"}); },
         "first extra line: Exiting X"},
        {"other line", [&] { bench::ExpectLog(log, {L"Entering X", L"Result = 0", L"Error: *", L"Exiting X"}); },
         "line 1: got \"Result = 1\", expected \"Result = 0\""},
        {"a run inside the log", [&] { bench::ExpectInOrder(log, {L"Result = 1", L"Error: *"}); }, nullptr},
        {"extra line in the run", [&] { bench::ExpectInOrder(log, {L"Entering X", L"Result = 1", L"Exiting X"}); },
         "after 2 of them (from line 0), expected \"Exiting X\""},
        {"missing line", [&] { bench::ExpectInOrder(log, {L"Error: 5", L"Exiting X", L"Leaving X"}); },
         "after 2 of them (from line 2), expected \"Leaving X\""},
        {"out of order", [&] { bench::ExpectInOrder(log, {L"Exiting X", L"Entering X"}); },
         "after 1 of them (from line 3), expected \"Entering X\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.failure)
            EXPECT_NONFATAL_FAILURE(c.check(), c.failure);
        else
            c.check();
    }
}
