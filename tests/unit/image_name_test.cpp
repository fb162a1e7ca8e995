#include <gtest/gtest.h>

#include "detection/core/image_name.h"

using kci::SameImageName;
using kci::FileNameOfPath;
using kci::TextInBuffer;

TEST(SameImageName, IgnoresTheCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(SameImageName(L"OUTLOOK.EXE", L"OUTLOOK.EXE"));
    EXPECT_TRUE(SameImageName(L"outlook.exe", L"OUTLOOK.EXE"));
    EXPECT_TRUE(SameImageName(L"Meridia.EXE", L"Meridia.exe"));
    EXPECT_TRUE(SameImageName(L"", L""));
    // Neighbours of the letter ranges are not letters: '@' '[' and '`' '{'.
    EXPECT_FALSE(SameImageName(L"@", L"`"));
    EXPECT_FALSE(SameImageName(L"[", L"{"));
    // Letters outside ASCII keep their case.
    EXPECT_FALSE(SameImageName(L"\u00C9t\u00E9.exe", L"\u00E9t\u00E9.exe"));
    EXPECT_TRUE(SameImageName(L"\u00E9T\u00E9.exe", L"\u00E9t\u00E9.EXE"));
}

TEST(SameImageName, WholeNamesOnly) {
    EXPECT_FALSE(SameImageName(L"OUTLOOK.EXE2", L"OUTLOOK.EXE"));
    EXPECT_FALSE(SameImageName(L"MYOUTLOOK.EXE", L"OUTLOOK.EXE"));
    EXPECT_FALSE(SameImageName(L"OUTLOOK", L"OUTLOOK.EXE"));
    EXPECT_FALSE(SameImageName(L"", L"OUTLOOK.EXE"));
    EXPECT_FALSE(SameImageName(L"OUTLOOK.EXE", L""));
}

TEST(TextInBuffer, StopsAtTheFirstNullOrTheBuffersEnd) {
    const wchar_t filled[] = {L'a', L'b', L'\0', L'c'};
    EXPECT_EQ(TextInBuffer(filled, 4), L"ab");
    const wchar_t full[] = {L'x', L'y', L'z'};  // no terminator at all
    EXPECT_EQ(TextInBuffer(full, 3), L"xyz");
    EXPECT_EQ(TextInBuffer(full, 0), L"");
}

TEST(FileNameOfPath, KeepsWhatFollowsTheLastBackslash) {
    struct Case { const wchar_t* path; const wchar_t* name; };
    for (Case c : {Case{L"C:\\Program Files\\Office\\OUTLOOK.EXE", L"OUTLOOK.EXE"},
                   Case{L"\\Device\\HarddiskVolume2\\x64\\OUTLOOK.EXE", L"OUTLOOK.EXE"},
                   Case{L"OUTLOOK.EXE", L"OUTLOOK.EXE"},
                   Case{L"C:\\folder\\", L""},
                   Case{L"", L""}})
        EXPECT_EQ(FileNameOfPath(c.path), c.name) << c.path;
}
