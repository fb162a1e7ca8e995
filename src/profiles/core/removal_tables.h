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

// Rows in the order of removal, the all-users rows first.
struct RemovalTable {
    const RemovalRow* rows;
    std::size_t count;
    const RemovalRow* begin() const { return rows; }
    const RemovalRow* end() const { return rows + count; }
};

extern const RemovalTable kOldShortcutRemovals;
extern const RemovalTable kShortcutRemovals;

}  // namespace kci
