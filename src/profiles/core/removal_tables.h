// The shortcuts the removal sweep takes out of the user profiles: the older
// product's, when the current one is installed, and the current product's on
// removal. Each path is joined to a profile directory.
#pragma once

#include <cstddef>

namespace kci {

enum class ProfileScope { AllUsers, EachProfile };
enum class RemovalKind { File, Directory };  // a directory goes only when empty

struct RemovalRow {
    ProfileScope scope;
    const wchar_t* path;     // begins with a backslash
    const wchar_t* logLine;  // logged with the full path before the removal
    RemovalKind kind;
};

constexpr RemovalRow AllUsersFile(const wchar_t* path, const wchar_t* logLine) {
    return RemovalRow{ProfileScope::AllUsers, path, logLine, RemovalKind::File};
}
constexpr RemovalRow EachProfileFile(const wchar_t* path, const wchar_t* logLine) {
    return RemovalRow{ProfileScope::EachProfile, path, logLine, RemovalKind::File};
}
constexpr RemovalRow EachProfileFolder(const wchar_t* path, const wchar_t* logLine) {
    return RemovalRow{ProfileScope::EachProfile, path, logLine, RemovalKind::Directory};
}

// The folders the platform names, into which the shortcut is copied for the
// installing user or for all users.
enum class ShellFolder { CommonDesktop, UserDesktop, CommonStartup, UserStartup, UserAppData };

// Where the Quick Launch bar lies below the application-data folder.
inline constexpr wchar_t kQuickLaunchBelowAppData[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

// A folder the platform names, cleared of the table's shortcut after the walk.
struct ShellFolderRemoval {
    ShellFolder folder;
    const wchar_t* below;    // joined to the folder: empty or beginning with a backslash
    const wchar_t* logLine;  // logged with the full path before the delete
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
