// An entry of the file system held through a handle for its removal, so that
// what was checked is what gets deleted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/handles.h"

namespace kci {

// One entry of a folder's listing.
struct ListedEntry {
    std::wstring name;
    DWORD attributes;
};

// Opened without following a final link, shared for reading and writing but
// not for deleting: while it is held nobody can rename or replace it. A path
// longer than kPathChars is not opened (ERROR_FILENAME_EXCED_RANGE).
class HeldEntry {
public:
    explicit HeldEntry(const std::wstring& path);

    DWORD OpenError() const { return error_; }  // 0 when held
    // The entry is a link itself (the platform opened the link, not its target).
    bool IsLink() const { return (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // Its final path is not the path it was opened by: a link on the way led
    // elsewhere.
    bool IsElsewhere() const { return !atPath_; }
    bool IsFolder() const { return (attributes_ & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // The held folder's entries, "." and ".." left out, read through its
    // handle (a listing by path would have to share the delete the handle
    // holds); 0 or the error.
    DWORD List(std::vector<ListedEntry>& entries) const;
    // Clears a read-only mark, which would refuse the delete, through the
    // handle; an entry it cannot clear stays read-only.
    void DropReadOnly();
    // Deletes the entry through its handle and lets go of it, which completes
    // the delete; 0 or the error.
    DWORD Delete();

private:
    ScopedHandle handle_;
    DWORD error_ = 0;
    DWORD attributes_ = 0;
    bool atPath_ = false;
};

}  // namespace kci
