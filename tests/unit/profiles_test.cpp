#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/core/profile_paths.h"

namespace {

TEST(CutCommonAppData, GivesAllUsersProfileAndRootAndWhetherTheRootIsBare) {
    struct Case { std::wstring folder, allUsers, root; bool bare; };
    const std::wstring xp = L"C:\\Documents and Settings\\";
    for (const Case& c : {Case{xp + L"All Users\\Application Data", xp + L"All Users", xp, false},
                          Case{L"C:\\ProgramData", L"C:", L"", true} /* the current layout: no root to search */,
                          Case{L"D:\\Data\\ProgramData", L"D:\\Data", L"D:\\", true} /* a drive root is no root */,
                          Case{L"\\\\srv\\share\\Data\\ProgramData", L"\\\\srv\\share\\Data", L"\\\\srv\\share\\", true},
                          Case{L"\\\\srv\\share\\Users\\All Users\\Data", L"\\\\srv\\share\\Users\\All Users",
                               L"\\\\srv\\share\\Users\\", false},
                          Case{L"\\Data\\ProgramData", L"\\Data", L"\\", true},
                          Case{L"ProgramData", L"", L"", true}, Case{L"", L"", L"", true}}) {
        kci::ProfileCuts cuts = kci::CutCommonAppData(c.folder);
        EXPECT_EQ(cuts.allUsers, c.allUsers) << c.folder.size();
        EXPECT_EQ(cuts.root, c.root) << c.folder.size();
        EXPECT_EQ(kci::IsBareRoot(cuts.root), c.bare) << c.folder.size();
    }
}

TEST(IsProfileEntry, OnlyDirectoriesThatAreNoLinksNotBeginningWithADot) {
    struct Case { std::wstring name; bool directory, link, profile; };
    for (const Case& c : {Case{L"Alice", true, false, true}, Case{L"All Users", true, false, true},
                          Case{L".", true, false, false}, Case{L"..", true, false, false},
                          Case{L".cache", true, false, false}, Case{L"notes.txt", false, false, false},
                          Case{L"Bob.", true, false, true}, Case{L"Mallory", true, true, false}})
        EXPECT_EQ(kci::IsProfileEntry(c.name, c.directory, c.link), c.profile) << c.name.size();
}

// Every folder a removal passes must be checked for a link, the profile (or
// known) folder first; a removed folder counts, a removed file does not.
TEST(FoldersOnTheWay, FromTheBaseDownToTheRemovedEntry) {
    struct Case { std::wstring base, below; bool folder; std::vector<std::wstring> way; };
    const std::wstring p = L"C:\\Users\\Alice";
    for (const Case& c : {
             Case{p, L"\\a.lnk", false, {p}},
             Case{p, L"\\Start Menu\\Programs\\T\\a.lnk", false,
                  {p, p + L"\\Start Menu", p + L"\\Start Menu\\Programs", p + L"\\Start Menu\\Programs\\T"}},
             Case{p, L"\\Start Menu\\Programs\\T", true,
                  {p, p + L"\\Start Menu", p + L"\\Start Menu\\Programs", p + L"\\Start Menu\\Programs\\T"}},
             Case{p, L"\\\\Menu\\a.lnk", false, {p, p + L"\\\\Menu"}} /* an empty component names no folder */,
             Case{L"C:\\", L"\\DeskTop\\a.lnk", false, {L"C:\\", L"C:\\\\DeskTop"}},
             Case{p, L"", true, {p}}}) {
        EXPECT_EQ(kci::FoldersOnTheWay(c.base, c.below, c.folder), c.way) << c.below.size();
    }
}

// A removal deletes through a handle only when its final path is the path it
// meant: a link anywhere on the way gives another final path.
TEST(IsFinalPathOf, TheMeantPathBehindTheLocalOrShareFormOnlyAsciiCaseIgnored) {
    struct Case { std::wstring finalPath, meant; bool same; };
    for (const Case& c : {Case{L"\\\\?\\C:\\APP\\logs", L"c:\\app\\Logs", true}, Case{L"\\\\?\\C:\\", L"C:\\", true},
                          Case{L"\\\\?\\UNC\\srv\\share\\Logs", L"\\\\srv\\share\\Logs", true},
                          Case{L"\\\\?\\C:\\App\\elsewhere", L"C:\\App\\Logs", false} /* a link's target */,
                          Case{L"\\\\?\\C:\\App\\Logs", L"C:\\App\\Logs\\", false},
                          Case{L"\\\\?\\C:\\\u00c9t\u00e9", L"C:\\\u00e9t\u00e9", false} /* only A to Z fold */,
                          Case{L"C:\\App", L"C:\\App", false} /* not a final path's form */,
                          Case{L"\\\\?\\UNC\\srv\\share", L"\\\\?\\UNC\\srv\\share", false},
                          Case{L"\\\\?\\UNC\\srv\\share", L"C:\\srv\\share", false}, Case{L"", L"", false}})
        EXPECT_EQ(kci::IsFinalPathOf(c.finalPath, c.meant), c.same) << std::string(c.finalPath.begin(), c.finalPath.end());
}

// Only name surrogates lead elsewhere; the tags the platform gives to files
// only stored differently are deleted and copied over like plain ones.
TEST(ReparseKindOf, OnlyNameSurrogatesAreLinks) {
    using kci::ReparseKind;
    struct Case { const char* name; std::uint32_t tag; ReparseKind kind; };
    for (const Case& c : {Case{"junction or mount point", 0xA0000003, ReparseKind::Link},
                          Case{"symbolic link", 0xA000000C, ReparseKind::Link}, Case{"tag not read (Wine)", 0, ReparseKind::Link},
                          Case{"Linux subsystem symbolic link", 0xA000001D, ReparseKind::Link},
                          Case{"cloud placeholder", 0x9000001A, ReparseKind::Plain}, Case{"another cloud", 0x9000F01A, ReparseKind::Plain},
                          Case{"deduplicated file", 0x80000013, ReparseKind::Plain}, Case{"WOF file", 0x80000017, ReparseKind::Plain},
                          Case{"app execution alias", 0x8000001B, ReparseKind::Plain}}) {
        EXPECT_EQ(kci::ReparseKindOf(true, c.tag), c.kind) << c.name;
        EXPECT_EQ(kci::ReparseKindOf(false, c.tag), ReparseKind::Plain) << c.name;
    }
}

TEST(InstallDirectoryForLogs, DropsOnlyATrailingSeparatorNeverAComponent) {
    struct Case { std::wstring targetPath, directory; };
    for (const Case& c : {Case{L"C:\\Program Files\\Korvi\\", L"C:\\Program Files\\Korvi"},
                          Case{L"C:\\Program Files\\Korvi", L"C:\\Program Files\\Korvi"}, Case{L"C:\\", L"C:"},
                          Case{L"", L""}})
        EXPECT_EQ(kci::InstallDirectoryForLogs(c.targetPath), c.directory);
}

}  // namespace
