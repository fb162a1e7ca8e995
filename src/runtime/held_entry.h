// An entry of the file system held through a handle for its removal or as a
// copy's destination, so that what was checked is what gets deleted or
// written.
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
    DWORD reparseTag;  // what the listing gives for a reparse point, else 0
};

// The listed entry is a link (see ReparseKindOf).
bool IsListedLink(const ListedEntry& entry);

// The full long form of `path` (GetFullPathNameW, then GetLongPathNameW), as
// the platform spells the final path of what it names: trailing dots and
// blanks dropped, 8.3 names expanded. As far as it gets when a step fails.
std::wstring LongFormOf(const std::wstring& path);

// Opened without following a final link and without sharing the delete: while
// it is held nobody can rename or replace it. A path longer than kPathChars
// is not opened (ERROR_FILENAME_EXCED_RANGE).
class HeldEntry {
public:
    enum class Use {
        Removal,    // to delete it; a folder another program holds without sharing the delete is held
                    // for listing only, and then cannot go itself
        Traversal,  // a folder to list and pass, never to delete
        Writing,    // a file, made where it is missing (OPEN_ALWAYS), to write; deleted
                    // again only where this open made it
        Reading,    // a file, to read
    };
    // What a delete does with an entry marked read-only.
    enum class ReadOnly { Stays, GoesToo };

    // `meant`: the full long form of `path` where the caller knows it (an
    // entry its held folder listed); else it is found after the open.
    HeldEntry(const std::wstring& path, Use use, const std::wstring& meant = L"");

    DWORD OpenError() const { return error_; }  // 0 when held
    // The entry is a link itself: a name-surrogate reparse point.
    bool IsLink() const { return link_; }
    // Its final path is not the path it was meant by: a link on the way led
    // elsewhere.
    bool IsElsewhere() const { return !atPath_; }
    bool IsFolder() const { return (attributes_ & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // Another name reaches the same file (a hard link).
    bool HasOtherNames() const { return names_ > 1; }
    bool IsReadOnly() const { return (attributes_ & FILE_ATTRIBUTE_READONLY) != 0; }
    // This open made the file (Writing).
    bool Created() const { return created_; }
    // The full long form of the path meant.
    const std::wstring& Meant() const { return meant_; }
    // The held folder's entries, "." and ".." left out, read through its
    // handle (a listing by path would have to share the delete the handle
    // holds); 0 or the error.
    DWORD List(std::vector<ListedEntry>& entries) const;
    // Deletes the entry through its handle and lets go of it, which completes
    // the delete; 0 or the error. The name goes at once where the platform
    // can (a logger holding the file with share-delete does not keep it).
    // With ReadOnly::GoesToo a read-only entry goes as well, but one with other
    // names only where the platform ignores the mark itself: its mark is
    // shared with those names and is never cleared. A mark cleared for a
    // delete that then fails is set again.
    DWORD Delete(ReadOnly readOnly);
    // Writes `bytes` from the start and cuts the file to their length; 0 or
    // the error.
    DWORD Write(const std::vector<char>& bytes);
    // The whole file, of at most `maxBytes`; ERROR_FILE_TOO_LARGE for a longer one.
    DWORD Read(std::vector<char>& bytes, DWORD maxBytes) const;

private:
    DWORD Dispose(ReadOnly readOnly);
    bool SetAttributes(DWORD attributes);

    ScopedHandle handle_;
    Use use_;
    bool listingOnly_ = false;
    DWORD error_ = 0;
    DWORD attributes_ = 0;
    DWORD names_ = 1;
    bool link_ = false;
    bool atPath_ = false;
    bool created_ = false;
    std::wstring meant_;
};

// The destination folder of a copy, `base + below`, held for traversal level
// by level from `base`, each level checked. Missing levels below `base` are
// made one at a time when `makeMissing`, else the folder is missing.
struct CopyFolder {
    enum class State { Held, Link, Missing, Failed } state = State::Failed;
    DWORD error = 0;  // with Failed
    std::vector<HeldEntry> levels;  // `base` first; the folder last
};
CopyFolder HoldCopyFolder(const std::wstring& base, const std::wstring& below, bool makeMissing);

// What reading a file, or copying it into a held folder, gave.
struct CopyResult {
    bool refused = false;  // the file is a link, a folder, has other names, lies elsewhere or is too long
    DWORD error = 0;
};

// The content of the file at `path`, read through its handle: refused unless
// it is a plain file of one name, of at most `maxBytes`, whose final path is
// the long form of `path`.
CopyResult ReadHeldFile(const std::wstring& path, DWORD maxBytes, std::vector<char>& bytes);

// Writes `bytes` into the held `folder` as the file `name`: the destination
// opened without following a link, checked, written through its handle and
// cut to length. A destination this call made and then refused is deleted
// again; a read-only one of one name is written with its mark cleared, and
// the mark is set again.
CopyResult CopyInto(const CopyFolder& folder, const std::wstring& name, const std::vector<char>& bytes);

}  // namespace kci
