#include <gtest/gtest.h>

#include <cwchar>

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

// The script forms' value lines: the value where the immediate form's read
// would give it, "no usable" where that read would fail.
TEST(CustomActionData, ScriptValueLines) {
    const NameValueMap pairs = SplitCustomActionData(L"INSTALLDIR|D:\\Elsewhere\\|AUTOUPDATE||_RTMX_DIR_|" +
                                                     std::wstring(260, L'x'));
    struct Case { const NameValueMap* pairs; const wchar_t* name; size_t maxChars; const wchar_t* line; bool usable; };
    const Case cases[] = {
        {&pairs, L"INSTALLDIR", 259, L"CustomActionData says INSTALLDIR is D:\\Elsewhere\\", true},
        {&pairs, L"AUTOUPDATE", 259, L"CustomActionData says AUTOUPDATE is ", true},
        {&pairs, L"_RTMX_DIR_", 261, L"CustomActionData says _RTMX_DIR_ is ", true},
        {&pairs, L"_RTMX_DIR_", 260, L"CustomActionData says _RTMX_DIR_ is ", true},
        {&pairs, L"_RTMX_DIR_", 259, L"CustomActionData has no usable _RTMX_DIR_", false},
        {&pairs, L"installdir", 259, L"CustomActionData has no usable installdir", false},
        {nullptr, L"CAMERADRIVER", 259, L"CustomActionData has no usable CAMERADRIVER", false},
    };
    for (const Case& c : cases) {
        const kci::ScriptValue read = kci::LookUpScriptValue(c.pairs, c.name, c.maxChars);
        EXPECT_EQ(read.line.substr(0, std::wcslen(c.line)), c.line) << c.name;
        EXPECT_EQ(read.value.has_value(), c.usable) << c.name;
        if (c.usable) {
            EXPECT_EQ(read.line, L"CustomActionData says " + std::wstring(c.name) + L" is " + *read.value);
        }
    }
}
