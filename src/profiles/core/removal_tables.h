// The shortcuts the removal sweep takes out of the user profiles: the older
// product's, when the current one is installed, and the current product's on
// removal. Each path is joined to a profile directory.
#pragma once

#include <cstddef>

#include "runtime/core/named_fields.h"

namespace kci {

enum class ProfileScope { AllUsers, EachProfile };
enum class RemovalKind { File, Directory };  // a directory goes only when empty

// One row, built by named field, as in
//   RemovalRow().InAllUsers().File(L"\\DeskTop\\X.lnk").Logging(L"Deleting desktop icon at %s")
struct RemovalRow {
    ProfileScope scope = ProfileScope::EachProfile;
    const wchar_t* path = nullptr;     // begins with a backslash
    const wchar_t* logLine = nullptr;  // logged with the full path before the removal
    RemovalKind kind = RemovalKind::File;

    constexpr RemovalRow InAllUsers() const { return WithField(*this, &RemovalRow::scope, ProfileScope::AllUsers); }
    constexpr RemovalRow InEachProfile() const {
        return WithField(*this, &RemovalRow::scope, ProfileScope::EachProfile);
    }
    constexpr RemovalRow File(const wchar_t* below) const {
        return WithField(WithField(*this, &RemovalRow::path, below), &RemovalRow::kind, RemovalKind::File);
    }
    constexpr RemovalRow Folder(const wchar_t* below) const {
        return WithField(WithField(*this, &RemovalRow::path, below), &RemovalRow::kind, RemovalKind::Directory);
    }
    constexpr RemovalRow Logging(const wchar_t* line) const { return WithField(*this, &RemovalRow::logLine, line); }
};

// The folders the platform names, into which the shortcut is copied for the
// installing user or for all users.
enum class ShellFolder { CommonDesktop, UserDesktop, CommonStartup, UserStartup, UserAppData };

// Where the Quick Launch bar lies below the application-data folder.
inline constexpr wchar_t kQuickLaunchBelowAppData[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

// A folder the platform names, cleared of the table's shortcut after the
// walk. One row, built by named field, as in
//   ShellFolderRemoval().In(ShellFolder::UserAppData).Below(L"\\...").Logging(L"Deleting ... at %s")
struct ShellFolderRemoval {
    ShellFolder folder = ShellFolder::CommonDesktop;
    const wchar_t* below = L"";        // joined to the folder: empty or beginning with a backslash
    const wchar_t* logLine = nullptr;  // logged with the full path before the delete

    constexpr ShellFolderRemoval In(ShellFolder shellFolder) const {
        return WithField(*this, &ShellFolderRemoval::folder, shellFolder);
    }
    constexpr ShellFolderRemoval Below(const wchar_t* path) const {
        return WithField(*this, &ShellFolderRemoval::below, path);
    }
    constexpr ShellFolderRemoval Logging(const wchar_t* line) const {
        return WithField(*this, &ShellFolderRemoval::logLine, line);
    }
};

// Rows in the order of removal, the all-users rows first; then the file
// `shortcut` in each of the shell folders.
struct RemovalTable {
    const RemovalRow* rows;
    std::size_t count;
    const wchar_t* shortcut;
    const RemovalRow* begin() const { return rows; }
    const RemovalRow* end() const { return rows + count; }
};

extern const RemovalTable kOldShortcutRemovals;
extern const RemovalTable kShortcutRemovals;

// Every folder a copy of the shortcut may have gone to on the platform's own
// layout: the common and the user's desktop, the common and the user's
// Startup folder, the user's Quick Launch bar.
extern const ShellFolderRemoval kShellFolderRemovals[5];

}  // namespace kci
