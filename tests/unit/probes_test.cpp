#include <gtest/gtest.h>

#include <string>

#include "probes/core/failure_count.h"
#include "probes/core/version_text.h"

namespace {

TEST(DisplayableVersion, ScansUpToThreeNumbersAndSplitsTheBuild) {
    struct Case { std::wstring version; int fields; std::wstring shown; };
    const Case cases[] = {
        {L"1.0.1000", 3, L"1.0(1)"},       {L"1.0.999", 3, L"1.0(0.999)"},   {L"2.1.2003", 3, L"2.1(2.3)"},
        {L"2.1.2030", 3, L"2.1(2.30)"},    {L"2.1.45", 3, L"2.1(0.45)"},     {L"3.0.12500", 3, L"3.0(12.500)"},
        {L"2.1.2003.7", 3, L"2.1(2.3)"},   {L" 2. 1.+2000", 3, L"2.1(2)"},   {L"1.0.-1500", 3, L"1.0(-1.-500)"},
        {L"7", 1, L"7.0(0)"},              {L"4.5", 2, L"4.5(0)"},           {L"4 .5.6", 1, L"4.0(0)"},
        {L"", 0, L"0.0(0)"},               {L"v1.2.3", 0, L"0.0(0)"},        {L"1.2.x", 2, L"1.2(0)"},
        {L"1.2.99999999999", 3, L"1.2(2147483.647)"},
    };
    for (const Case& c : cases) {
        const kci::ScannedVersion scanned = kci::ScanVersion(c.version);
        EXPECT_EQ(scanned.fields, c.fields) << testing::PrintToString(c.version);
        EXPECT_EQ(kci::DisplayableVersion(scanned), c.shown) << testing::PrintToString(c.version);
    }
}

TEST(FailureCount, LeadingDigitsOnly) {
    struct Case { std::wstring text; int count; };
    const Case cases[] = {{L"2", 2},  {L"0", 0},      {L"x1", 0},  {L"", 0},
                          {L"12abc", 12}, {L" 3", 0}, {L"-3", 0}, {L"99999999999", 2147483647}};
    for (const Case& c : cases) EXPECT_EQ(kci::FailureCountFromText(c.text), c.count) << testing::PrintToString(c.text);
}

TEST(FailureCount, CountsTheInstallerReadsAsSuccessOrCancelFailWith1603) {
    const int cases[][2] = {{259, 1603},  {1602, 1603}, {1604, 1603}, {1626, 1603}, {1, 1},
                            {1603, 1603}, {258, 258},   {1605, 1605}, {3010, 3010}, {2147483647, 2147483647}};
    for (const auto& c : cases) EXPECT_EQ(kci::ResultForFailureCount(c[0]), c[1]) << c[0];
}

}  // namespace
