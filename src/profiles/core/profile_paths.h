// Path cuts and link rules for the profile actions, free of platform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


namespace kci {

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

// How a removal or a copy treats an entry marked as a reparse point, by its
// tag. Only a name surrogate (a junction or mount point, a symbolic link: the
// tags IsReparseTagNameSurrogate accepts, bit 0x20000000) leads elsewhere.
// Cloud placeholders, deduplicated and compressed files are only stored
// differently and count as plain entries. A tag of 0 is none the platform
// gives a reparse point: the tag could not be read, and it counts as a link.
enum class ReparseKind { Plain, Link };
ReparseKind ReparseKindOf(bool isReparsePoint, std::uint32_t tag);

// The installation directory as the log removal joins to it: a target path
// without its one trailing separator. A path that has none stays whole, so
// the "Logs" folder aimed at is never one level higher.
std::wstring InstallDirectoryForLogs(const std::wstring& targetPath);

}  // namespace kci
