// Path cuts and file lists for the profile actions, free of platform calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/text_limits.h"

namespace kci {

// Capacity, in characters with both ending nulls, of the file lists the
// shell is handed: the shortcut source and destination, a path and one more
// (tests/BOUNDS.md, the shell file lists' row).
inline constexpr std::size_t kShortcutListChars = kPathChars + 2;

// A list for the shell's file operation: exactly `capacity` characters, the
// one name and nulls to the end, so at least two end it. Nothing when the
// name is empty, holds a null of its own (a second name), or is too long.
std::optional<std::vector<wchar_t>> SingleNameList(const std::wstring& name, std::size_t capacity);

// Where the profile walk starts, cut from the common application-data folder
// of the older layout, "<root>\<all users>\<folder>".
struct ProfileCuts {
    std::wstring allUsers;  // the text before the last backslash
    std::wstring root;      // allUsers up to and including its last backslash
};
ProfileCuts CutCommonAppData(const std::wstring& commonAppData);

// True when `root` (the second cut) names no folder to search for profiles:
// it is empty, or a bare drive or share root such as "D:\" or
// "\\server\share\", whose folders anyone may create.
bool IsBareRoot(const std::wstring& root);

// A profile is a directory, not a link, whose name does not begin with "."
// (this leaves out "." and ".." too).
bool IsProfileEntry(const std::wstring& name, bool isDirectory, bool isLink);

// The folders a removal passes on its way from `base` (a profile or a known
// folder) to `base + below`, where `below` begins with a backslash: `base`
// itself and every folder under it, outermost first, and, when
// `includeTarget`, the removed folder too.
std::vector<std::wstring> FoldersOnTheWay(const std::wstring& base, const std::wstring& below, bool includeTarget);

// True when `finalPath`, a handle's final path as the platform gives it
// ("\\?\C:\x\y", or "\\?\UNC\server\share\x"), names the path `meant`
// ("C:\x\y", or "\\server\share\x"), letters A to Z in either case. Any other
// form of final path names nothing meant.
bool IsFinalPathOf(std::wstring_view finalPath, std::wstring_view meant);

// The installation directory as the log removal joins to it: a target path
// without its one trailing separator. A path that has none stays whole, so
// the "Logs" folder aimed at is never one level higher.
std::wstring InstallDirectoryForLogs(const std::wstring& targetPath);

}  // namespace kci
