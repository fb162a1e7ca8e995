#include <gtest/gtest.h>

#include "runtime/core/custom_action_data.h"
#include "runtime/core/errors.h"

using kci::NameValueMap;
using kci::SplitCustomActionData;

namespace {

TEST(CustomActionData, SplitsAlternatingNamesAndValues) {
    EXPECT_EQ(SplitCustomActionData(L"A|1|B|2"), (NameValueMap{{L"A", L"1"}, {L"B", L"2"}}));
    EXPECT_EQ(SplitCustomActionData(L"WQInstallerExe|C:\\Program Files\\x\\WQInstaller.exe"),
              (NameValueMap{{L"WQInstallerExe", L"C:\\Program Files\\x\\WQInstaller.exe"}}));
}

TEST(CustomActionData, EmptyNamesAndValuesAreKept) {
    EXPECT_EQ(SplitCustomActionData(L"A|"), (NameValueMap{{L"A", L""}}));
    EXPECT_EQ(SplitCustomActionData(L"|x"), (NameValueMap{{L"", L"x"}}));
    EXPECT_EQ(SplitCustomActionData(L"A||B|2"), (NameValueMap{{L"A", L""}, {L"B", L"2"}}));
    EXPECT_EQ(SplitCustomActionData(L"|"), (NameValueMap{{L"", L""}}));
}

TEST(CustomActionData, BlanksAreNeitherTrimmedNorSplit) {
    EXPECT_EQ(SplitCustomActionData(L" A | 1 "), (NameValueMap{{L" A ", L" 1 "}}));
}

TEST(CustomActionData, RepeatedNameKeepsItsFirstValue) {
    EXPECT_EQ(SplitCustomActionData(L"A|1|A|2"), (NameValueMap{{L"A", L"1"}}));
    EXPECT_EQ(SplitCustomActionData(L"A|1|B|2|A|3"), (NameValueMap{{L"A", L"1"}, {L"B", L"2"}}));
}

TEST(CustomActionData, NameWithoutValueThrowsTheSingleText) {
    for (const wchar_t* text : {L"A|1|B", L"A|1|", L"A", L"", L"||", L"A|1|B|2|C"}) {
        try {
            SplitCustomActionData(text);
            ADD_FAILURE() << "no throw for " << testing::PrintToString(std::wstring(text));
        } catch (const stp::exstring& error) {
            EXPECT_EQ(error, L"Invalid name/value pair - no value found...");
        }
    }
}

TEST(CustomActionData, NamesAreCaseSensitiveAndAbsentOnesReadEmpty) {
    NameValueMap pairs = SplitCustomActionData(L"a|1");
    EXPECT_EQ(pairs[L"A"], L"");
    EXPECT_EQ(pairs, (NameValueMap{{L"A", L""}, {L"a", L"1"}}));
}

TEST(CustomActionData, NamesOrderByUnsignedCodeUnits) {
    NameValueMap pairs = SplitCustomActionData(L"\xE9|1|z|2|Z|3|ab|4|a|5");
    std::vector<std::wstring> names;
    for (const auto& pair : pairs) names.push_back(pair.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Z", L"a", L"ab", L"z", L"\xE9"}));
}

}  // namespace
