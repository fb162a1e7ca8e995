// Path cuts and link rules for the profile actions, free of platform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/final_path.h"

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

// The installation directory as the log removal joins to it: a target path
// without its one trailing separator. A path that has none stays whole, so
// the "Logs" folder aimed at is never one level higher.
std::wstring InstallDirectoryForLogs(const std::wstring& targetPath);

}  // namespace kci
