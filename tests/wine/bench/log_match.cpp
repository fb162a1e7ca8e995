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
    size_t at = 0;
    for (const auto& want : expected) {
        while (at < log.size() && !LineMatches(log[at], want)) ++at;
        EXPECT_LT(at, log.size()) << "missing, or out of order: " << Narrow(want);
        if (at++ >= log.size()) return;
    }
}

}  // namespace bench
