#include <gtest/gtest.h>

#include <string>

#include "profiles/core/profile_paths.h"

namespace {

TEST(SingleNameList, HoldsTheOneNameAndNullsToItsEndOrNothing) {
    struct Case { std::wstring name; std::size_t capacity; bool fits; };
    const std::wstring x258(258, L'x'), x259(259, L'x');
    for (const Case& c : {Case{L"C:\\a.lnk", 10, true}, Case{x258, 260, true} /* two nulls left */,
                          Case{x259, 260, false} /* one null only */, Case{x259, 261, true},
                          Case{L"", 260, false} /* an empty list would name nothing */,
                          Case{std::wstring(L"C:\\a\0C:\\b", 9), 260, false} /* a second name */}) {
        auto list = kci::SingleNameList(c.name, c.capacity);
        ASSERT_EQ(list.has_value(), c.fits) << c.name.size();
        if (!list) continue;
        ASSERT_EQ(list->size(), c.capacity);
        EXPECT_EQ(std::wstring(list->data(), c.name.size()), c.name);
        for (std::size_t i = c.name.size(); i < c.capacity; ++i) ASSERT_EQ((*list)[i], L'\0') << i;
    }
}

TEST(CutCommonAppData, GivesAllUsersProfileAndRootOrEmptyRoot) {
    struct Case { std::wstring folder, allUsers, root; };
    const std::wstring xp = L"C:\\Documents and Settings\\";
    for (const Case& c : {Case{xp + L"All Users\\Application Data", xp + L"All Users", xp},
                          Case{L"C:\\ProgramData", L"C:", L""} /* the current layout: no root to search */,
                          Case{L"ProgramData", L"", L""}, Case{L"", L"", L""}}) {
        kci::ProfileCuts cuts = kci::CutCommonAppData(c.folder);
        EXPECT_EQ(cuts.allUsers, c.allUsers) << c.folder.size();
        EXPECT_EQ(cuts.root, c.root) << c.folder.size();
    }
}

TEST(IsProfileEntry, OnlyDirectoriesNotBeginningWithADot) {
    struct Case { std::wstring name; bool directory, profile; };
    for (const Case& c : {Case{L"Alice", true, true}, Case{L"All Users", true, true}, Case{L".", true, false},
                          Case{L"..", true, false}, Case{L".cache", true, false}, Case{L"notes.txt", false, false},
                          Case{L"Bob.", true, true}})
        EXPECT_EQ(kci::IsProfileEntry(c.name, c.directory), c.profile);
}

TEST(InstallDirectoryForLogs, DropsOnlyATrailingSeparatorNeverAComponent) {
    struct Case { std::wstring targetPath, directory; };
    for (const Case& c : {Case{L"C:\\Program Files\\Korvi\\", L"C:\\Program Files\\Korvi"},
                          Case{L"C:\\Program Files\\Korvi", L"C:\\Program Files\\Korvi"}, Case{L"C:\\", L"C:"},
                          Case{L"", L""}})
        EXPECT_EQ(kci::InstallDirectoryForLogs(c.targetPath), c.directory);
}

}  // namespace
