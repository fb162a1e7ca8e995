#include <gtest/gtest.h>

#include <cwchar>
#include <optional>

#include "runtime/core/custom_action_data.h"

using kci::NameValueMap;

namespace {

// The map the component install actions look names up in; nothing when malformed.
std::optional<NameValueMap> SplitCustomActionData(const std::wstring& text) {
    const std::optional<kci::NamedValues> pairs = kci::SplitCustomActionData(text);
    if (!pairs) return std::nullopt;
    return kci::FirstValues(*pairs);
}

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

TEST(CustomActionData, NameWithoutValueGivesNothing) {
    for (const wchar_t* text : {L"A|1|B", L"A|1|", L"A", L"", L"||", L"A|1|B|2|C"})
        EXPECT_FALSE(SplitCustomActionData(text).has_value()) << testing::PrintToString(std::wstring(text));
}

TEST(CustomActionData, NamesAreCaseSensitiveAndAbsentOnesReadEmpty) {
    NameValueMap pairs = *SplitCustomActionData(L"a|1");
    EXPECT_EQ(pairs[L"A"], L"");
    EXPECT_EQ(pairs, (NameValueMap{{L"A", L""}, {L"a", L"1"}}));
}

TEST(CustomActionData, NamesOrderByUnsignedCodeUnits) {
    NameValueMap pairs = *SplitCustomActionData(L"\xE9|1|z|2|Z|3|ab|4|a|5");
    std::vector<std::wstring> names;
    for (const auto& pair : pairs) names.push_back(pair.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Z", L"a", L"ab", L"z", L"\xE9"}));
}

}  // namespace

// The script forms' value lines: the value where the immediate form's read
// would give it, "no usable" where that read would fail, where a name is given
// twice, and where a path is not absolute.
TEST(CustomActionData, ScriptValueLines) {
    const kci::NamedValues pairs = *kci::SplitCustomActionData(
        L"INSTALLDIR|D:\\Elsewhere\\|AUTOUPDATE||_RTMX_DIR_|" + std::wstring(260, L'x') +
        L"|STARTUP_SHORTCUT|1|INSTALLDIR|C:\\evil\\|A|..\\|B|sub\\|C|\\x|D|C:x|E|\\\\server\\share\\|F|C:\\App\\");
    const auto path = kci::ValueKind::Path;
    const auto text = kci::ValueKind::Text;
    struct Case { const kci::NamedValues* pairs; const wchar_t* name; size_t maxChars; kci::ValueKind kind; const wchar_t* line; bool usable; };
    const Case cases[] = {
        {&pairs, L"STARTUP_SHORTCUT", 259, text, L"CustomActionData says STARTUP_SHORTCUT is 1", true},
        {&pairs, L"AUTOUPDATE", 259, text, L"CustomActionData says AUTOUPDATE is ", true},
        {&pairs, L"_RTMX_DIR_", 261, text, L"CustomActionData says _RTMX_DIR_ is ", true},
        {&pairs, L"_RTMX_DIR_", 260, text, L"CustomActionData says _RTMX_DIR_ is ", true},
        {&pairs, L"_RTMX_DIR_", 259, text, L"CustomActionData has no usable _RTMX_DIR_", false},
        {&pairs, L"installdir", 259, text, L"CustomActionData has no usable installdir", false},
        {nullptr, L"CAMERADRIVER", 259, text, L"CustomActionData has no usable CAMERADRIVER", false},
        {&pairs, L"INSTALLDIR", 259, text, L"CustomActionData has no usable INSTALLDIR", false},  // given twice
        {&pairs, L"AUTOUPDATE", 259, path, L"CustomActionData has no usable AUTOUPDATE", false},  // empty
        {&pairs, L"A", 259, path, L"CustomActionData has no usable A", false},                    // relative
        {&pairs, L"B", 259, path, L"CustomActionData has no usable B", false},                    // relative
        {&pairs, L"C", 259, path, L"CustomActionData has no usable C", false},                    // relative to the drive
        {&pairs, L"D", 259, path, L"CustomActionData has no usable D", false},                    // relative to C:'s folder
        {&pairs, L"D", 259, text, L"CustomActionData says D is C:x", true},
        {&pairs, L"F", 259, path, L"CustomActionData says F is C:\\App\\", true},
        {&pairs, L"E", 259, path, L"CustomActionData says E is \\\\server\\share\\", true},
    };
    for (const Case& c : cases) {
        const kci::ScriptValue read = kci::LookUpScriptValue(c.pairs, c.name, c.maxChars, c.kind);
        EXPECT_EQ(read.line.substr(0, std::wcslen(c.line)), c.line) << c.name;
        EXPECT_EQ(read.value.has_value(), c.usable) << c.name;
        if (c.usable) {
            EXPECT_EQ(read.line, L"CustomActionData says " + std::wstring(c.name) + L" is " + *read.value);
        }
    }
}
