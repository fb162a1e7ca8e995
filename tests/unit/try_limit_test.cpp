#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "detection/core/try_limit.h"

using namespace kci;
using Lines = std::vector<std::wstring>;

TEST(TryLimit, TheTenthTryReadsTheUiLevel) {
    // nextLimitAt: tries after this one until the level is read again; 0: never.
    struct Case { PropertyRead uiLevel; Lines lines; std::optional<unsigned> result; int nextLimitAt; };
    const std::wstring reached = L"Number of tries reached to MAX_TRY=10",
                       reset = L"Reset the number of retries to 0 since UILevel=0";
    const Case cases[] = {
        {{0, L"2"},
         {reached, L"UILevel: '2'\n", L"sscanf returned result = 1, UILevel=2 as integer",
          L"Terminate the install since MAX_TRY is reached at a silent install."},
         1602u, 0},
        {{0, L"5"}, {reached, L"UILevel: '5'\n", L"sscanf returned result = 1, UILevel=5 as integer", reset}, {}, 10},
        {{0, L"full"}, {reached, L"UILevel: 'full'\n", L"sscanf returned result = 0, UILevel=0 as integer", reset},
         {}, 10},
        {{1627, L""}, {reached, L"Invalid 'UILevel' property, result = 1627"}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.uiLevel.value));
        TryLimit limit;
        for (int i = 1; i < kMaxTry; ++i) EXPECT_FALSE(limit.StartTry());
        ASSERT_TRUE(limit.StartTry());
        const TryLimitOutcome outcome = limit.AtLimit(c.uiLevel);
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_EQ(outcome.result, c.result);
        if (c.result) continue;
        int next = 0;
        for (int i = 1; i <= 30 && next == 0; ++i)
            if (limit.StartTry()) next = i;
        EXPECT_EQ(next, c.nextLimitAt);
    }
}
