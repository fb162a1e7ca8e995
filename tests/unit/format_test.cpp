#include <gtest/gtest.h>

#include "runtime/core/format.h"
#include "runtime/core/log_line.h"

using kci::Format;

TEST(Format, ConversionsUsedByTheLog) {
    EXPECT_EQ(Format(L"Process returned 0x%lx", 3u), L"Process returned 0x3");
    EXPECT_EQ(Format(L"0x%lx", 0xC0000005u), L"0xc0000005");
    EXPECT_EQ(Format(L"%x", 255), L"ff");
    EXPECT_EQ(Format(L"%X", 255), L"FF");
    EXPECT_EQ(Format(L"%08x", 0x1234), L"00001234");
    EXPECT_EQ(Format(L"%0x", 0xabcu), L"abc");
    EXPECT_EQ(Format(L"result = %d", 234), L"result = 234");
    EXPECT_EQ(Format(L"%d", -1), L"-1");
    EXPECT_EQ(Format(L"%u", 4294967295u), L"4294967295");
    EXPECT_EQ(Format(L"Find %s", L"OUTLOOK.EXE"), L"Find OUTLOOK.EXE");
    EXPECT_EQ(Format(L"%s", std::wstring(L"wide")), L"wide");
    EXPECT_EQ(Format(L"100%%"), L"100%");
    EXPECT_EQ(Format(L"plain"), L"plain");
}

TEST(Format, IntegersHaveThirtyTwoBitMeaningOnEveryHost) {
    long hr = static_cast<long>(static_cast<int>(0x80070002));  // HRESULT on Windows
    EXPECT_EQ(Format(L"%lx", hr), L"80070002");
    EXPECT_EQ(Format(L"%d", 0xFFFFFFFFu), L"-1");
    EXPECT_EQ(Format(L"%d", -2147483647 - 1), L"-2147483648");
    EXPECT_EQ(Format(L"%x", -1), L"ffffffff");
    EXPECT_EQ(Format(L"%d", 0x1'0000'0005LL), L"5");
}

TEST(Format, FlagsWidthAndPrecision) {
    EXPECT_EQ(Format(L"[%5d]", 42), L"[   42]");
    EXPECT_EQ(Format(L"[%-5d]", 42), L"[42   ]");
    EXPECT_EQ(Format(L"[%05d]", -42), L"[-0042]");
    EXPECT_EQ(Format(L"[%+d]", 7), L"[+7]");
    EXPECT_EQ(Format(L"[%#x]", 255), L"[0xff]");
    EXPECT_EQ(Format(L"[%#010x]", 255), L"[0x000000ff]");
    EXPECT_EQ(Format(L"[%6s]", L"ab"), L"[    ab]");
    EXPECT_EQ(Format(L"[%.2s]", L"abcdef"), L"[ab]");
    EXPECT_EQ(Format(L"[%c]", 65), L"[A]");
}

TEST(Format, ArgumentsAreNeverReinterpreted) {
    EXPECT_EQ(Format(L"Find %s", L"100%s %d %%"), L"Find 100%s %d %%");
    EXPECT_EQ(Format(L"%s and %s", L"%s", L"%d"), L"%s and %d");
}

TEST(Format, MismatchesStayWithinTheArguments) {
    EXPECT_EQ(Format(L"%d and %s"), L"%d and %s");        // no arguments at all
    EXPECT_EQ(Format(L"%d %d", 1), L"1 %d");              // one short
    EXPECT_EQ(Format(L"%d", 1, 2, 3), L"1");              // extras ignored
    EXPECT_EQ(Format(L"%s", 12), L"12");                  // number as text
    EXPECT_EQ(Format(L"%d", L"text"), L"text");           // text as number
    EXPECT_EQ(Format(L"%q %d", 5), L"%q 5");              // unknown conversion kept
    EXPECT_EQ(Format(L"trailing %"), L"trailing %");
    EXPECT_EQ(Format(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
    EXPECT_EQ(kci::FormatText(nullptr, {}), L"");
    EXPECT_EQ(Format(L"%999999999d", 1).size(), 4096u);  // padding is bounded
}

TEST(LogLine, PrefixAndCutAtTheBuffer) {
    EXPECT_EQ(kci::BuildLogLine(L"Entering X"), L"CUSTOM IMMEDIATE ACTION   Entering X");
    EXPECT_EQ(kci::BuildLogLine(L"").size(), 26u);
    EXPECT_EQ(kci::BuildLogLine(std::wstring(1012, L'a')).size(), 1038u);
    EXPECT_EQ(kci::BuildLogLine(std::wstring(1013, L'a')).size(), 1039u);
    EXPECT_EQ(kci::BuildLogLine(std::wstring(1014, L'a')).size(), 1039u);
    EXPECT_EQ(kci::BuildLogLine(std::wstring(100000, L'a')).size(), 1039u);
}

TEST(LogLine, CutNeverSplitsASurrogatePair) {
    std::wstring text(1012, L'a');
    text += static_cast<wchar_t>(0xD83D);  // high surrogate at the last place that fits
    text += static_cast<wchar_t>(0xDE00);
    std::wstring line = kci::BuildLogLine(text);
    EXPECT_EQ(line.size(), 1038u);
    EXPECT_EQ(line.back(), L'a');
}

// Each character the installer's formatter reads as syntax becomes its escape;
// the cut is taken before, on the characters the log shows.
TEST(LogLine, BracketsAndBracesAreEscapedAfterTheCut) {
    const struct { std::wstring line, escaped; } rows[] = {
        {L"no syntax: \\ % ( ) ~", L"no syntax: \\ % ( ) ~"},
        {L"[ProductCode] [%PATH] {x}", L"[\\[]ProductCode[\\]] [\\[]%PATH[\\]] [\\{]x[\\}]"},
        {L"is [C:\\Logs\\], len=9", L"is [\\[]C:\\Logs\\[\\]], len=9"},
        {L"][}{", L"[\\]][\\[][\\}][\\{]"},
        {L"", L""},
    };
    for (const auto& row : rows) EXPECT_EQ(kci::EscapeForTemplate(row.line), row.escaped) << row.line;
    const std::wstring escaped = kci::EscapeForTemplate(kci::BuildLogLine(std::wstring(1014, L'[')));
    EXPECT_EQ(escaped.size(), 26u + 1013u * 4);
    EXPECT_EQ(escaped.substr(escaped.size() - 8), L"[\\[][\\[]");
}
