#include "bench/log_match.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "harness/text.h"

namespace bench {

using harness::Narrow;

namespace {

// A line ending in "*" matches any line that begins with the text before it.
bool LineMatches(const std::wstring& got, const std::wstring& want) {
    const bool prefix = !want.empty() && want.back() == L'*';
    return prefix ? got.compare(0, want.size() - 1, want, 0, want.size() - 1) == 0 : got == want;
}

}  // namespace

void ExpectLog(const Lines& log, const Lines& expected) {
    const size_t common = std::min(log.size(), expected.size());
    for (size_t i = 0; i < common; ++i) {
        const std::wstring& want = expected[i];
        const bool same = LineMatches(log[i], want);
        EXPECT_TRUE(same) << "line " << i << ": got \"" << Narrow(log[i]) << "\", expected \"" << Narrow(want) << "\"";
        if (!same) return;
    }
    EXPECT_EQ(log.size(), expected.size()) << "first extra line: "
                                           << Narrow(log.size() > common ? log[common] : expected[common]);
}

void ExpectInOrder(const Lines& log, const Lines& expected) {
    if (expected.empty()) return;
    // The start where the most expected lines match, for the failure message.
    size_t bestStart = 0, bestMatched = 0;
    for (size_t start = 0; start < log.size(); ++start) {
        size_t matched = 0;
        while (matched < expected.size() && start + matched < log.size() &&
               LineMatches(log[start + matched], expected[matched]))
            ++matched;
        if (matched == expected.size()) return;
        if (matched > bestMatched) {
            bestStart = start;
            bestMatched = matched;
        }
    }
    std::string got;
    for (const auto& line : log) got += "\n  " + Narrow(line);
    ADD_FAILURE() << "no run of the expected lines: after " << bestMatched << " of them (from line " << bestStart
                  << "), expected \"" << Narrow(expected[bestMatched]) << "\"; the log:" << got;
}

}  // namespace bench
