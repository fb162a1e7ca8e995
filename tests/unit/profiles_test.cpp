#include <gtest/gtest.h>

#include <string>

#include "profiles/core/profile_paths.h"

namespace {

TEST(SingleNameList, HoldsTheOneNameAndNullsToItsEndOrNothing) {
    struct Case { std::wstring name; std::size_t capacity; bool fits; };
    const Case cases[] = {
        {L"C:\\a.lnk", 10, true},
        {std::wstring(258, L'x'), 260, true},   // two nulls left
        {std::wstring(259, L'x'), 260, false},  // one null only
        {std::wstring(259, L'x'), 261, true},
        {L"", 260, false},                      // an empty list would name nothing
        {std::wstring(L"C:\\a\0C:\\b", 9), 260, false},  // a second name
    };
    for (const Case& c : cases) {
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
    const Case cases[] = {
        {L"C:\\Documents and Settings\\All Users\\Application Data", L"C:\\Documents and Settings\\All Users",
         L"C:\\Documents and Settings\\"},
        {L"C:\\ProgramData", L"C:", L""},  // the current layout: no root to search
        {L"ProgramData", L"", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        kci::ProfileCuts cuts = kci::CutCommonAppData(c.folder);
        EXPECT_EQ(cuts.allUsers, c.allUsers) << c.folder.size();
        EXPECT_EQ(cuts.root, c.root) << c.folder.size();
    }
}

TEST(IsProfileEntry, OnlyDirectoriesNotBeginningWithADot) {
    struct Case { std::wstring name; bool directory, profile; };
    const Case cases[] = {{L"Alice", true, true},   {L"All Users", true, true}, {L".", true, false},
                          {L"..", true, false},     {L".cache", true, false},   {L"notes.txt", false, false},
                          {L"Bob.", true, true}};
    for (const Case& c : cases) EXPECT_EQ(kci::IsProfileEntry(c.name, c.directory), c.profile);
}

TEST(InstallDirectoryForLogs, DropsOnlyATrailingSeparatorNeverAComponent) {
    struct Case { std::wstring targetPath, directory; };
    const Case cases[] = {{L"C:\\Program Files\\Korvi\\", L"C:\\Program Files\\Korvi"},
                          {L"C:\\Program Files\\Korvi", L"C:\\Program Files\\Korvi"},
                          {L"C:\\", L"C:"},
                          {L"", L""}};
    for (const Case& c : cases) EXPECT_EQ(kci::InstallDirectoryForLogs(c.targetPath), c.directory);
}

}  // namespace
