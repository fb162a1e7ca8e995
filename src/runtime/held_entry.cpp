#include "runtime/held_entry.h"

#include <cstddef>

#include "runtime/core/final_path.h"
#include "runtime/core/text_limits.h"

namespace kci {
namespace {

// Room for the final path of any path that fits kPathChars, "\\?\UNC\" and
// the terminator included; a longer final path cannot be the path opened
// (tests/BOUNDS.md, the final path's row).
constexpr DWORD kFinalPathChars = kPathChars + 1 + 8;

// One read of a folder's listing: room for a few hundred entries
// (tests/BOUNDS.md, the listing's row).
constexpr DWORD kListingBytes = 64 * 1024;

// FileDispositionInfoEx and its flags (Windows 10): the headers of this
// toolchain do not declare them for the platform the library is built for.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1, kDispositionPosix = 0x2, kDispositionIgnoreReadOnly = 0x10;
struct DispositionEx {
    DWORD flags;
};

// The error of a failed call, never 0 even where the call set none.
DWORD FailureOf(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

HANDLE Open(const std::wstring& path, HeldEntry::Use use, bool listingOnly) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;  // never FILE_SHARE_DELETE
    constexpr DWORD kFolder = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
    constexpr DWORD kListing = FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | SYNCHRONIZE;
    switch (use) {
        case HeldEntry::Use::Removal:
            return CreateFileW(path.c_str(), listingOnly ? kListing : kListing | DELETE | FILE_WRITE_ATTRIBUTES, kShare,
                               nullptr, OPEN_EXISTING, kFolder, nullptr);
        case HeldEntry::Use::Traversal:
            return CreateFileW(path.c_str(), kListing | FILE_TRAVERSE, kShare, nullptr, OPEN_EXISTING, kFolder, nullptr);
        case HeldEntry::Use::Writing:
            // Only its attributes where the file refuses writing: a read-only mark (HeldEntry::Write).
            return listingOnly ? CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr)
                               : CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, FILE_SHARE_READ,
                                             nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL,
                                             nullptr);
        case HeldEntry::Use::Reading:
            return CreateFileW(path.c_str(), GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    return INVALID_HANDLE_VALUE;
}

bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION a = {}, b = {};
    return GetFileInformationByHandle(one, &a) && GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

DWORD WriteWhole(HANDLE file, const std::vector<char>& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return FailureOf(ERROR_WRITE_FAULT);
    if (written != bytes.size()) return ERROR_WRITE_FAULT;
    return SetEndOfFile(file) ? ERROR_SUCCESS : FailureOf(ERROR_WRITE_FAULT);
}

}  // namespace

bool IsListedLink(const ListedEntry& entry) {
    return ReparseKindOf((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0, entry.reparseTag) == ReparseKind::Link;
}

std::wstring LongFormOf(const std::wstring& path) {
    wchar_t full[kFinalPathChars] = {};
    const DWORD fullLength = GetFullPathNameW(path.c_str(), kFinalPathChars, full, nullptr);
    if (fullLength == 0 || fullLength >= kFinalPathChars) return path;
    wchar_t longForm[kFinalPathChars] = {};
    const DWORD longLength = GetLongPathNameW(full, longForm, kFinalPathChars);
    if (longLength == 0 || longLength >= kFinalPathChars) return std::wstring(full, fullLength);
    return std::wstring(longForm, longLength);
}

HeldEntry::HeldEntry(const std::wstring& path, Use use, const std::wstring& meant) : use_(use) {
    if (path.size() > kPathChars) {
        error_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    handle_.Reset(Open(path, use, false));
    const DWORD opened = GetLastError();
    created_ = use == Use::Writing && handle_ && opened != ERROR_ALREADY_EXISTS;
    if ((!handle_ && use == Use::Removal && opened == ERROR_SHARING_VIOLATION) ||
        (!handle_ && use == Use::Writing && opened == ERROR_ACCESS_DENIED)) {
        listingOnly_ = true;
        handle_.Reset(Open(path, use, true));
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!handle_ || !GetFileInformationByHandle(handle_.Get(), &information)) {
        error_ = FailureOf(ERROR_OPEN_FAILED);
        handle_.Close();
        return;
    }
    attributes_ = information.dwFileAttributes;
    names_ = information.nNumberOfLinks;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    const bool reparse = (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (reparse && !GetFileInformationByHandleEx(handle_.Get(), FileAttributeTagInfo, &tag, sizeof(tag))) tag.ReparseTag = 0;
    link_ = ReparseKindOf(reparse, tag.ReparseTag) == ReparseKind::Link;
    // Found only now: the long form of a path that does not exist yet fails.
    meant_ = meant.empty() ? LongFormOf(path) : meant;
    wchar_t finalPath[kFinalPathChars] = {};
    const DWORD length =
        GetFinalPathNameByHandleW(handle_.Get(), finalPath, kFinalPathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    atPath_ = length > 0 && length < kFinalPathChars && IsFinalPathOf(std::wstring_view(finalPath, length), meant_);
}

DWORD HeldEntry::List(std::vector<ListedEntry>& entries) const {
    // Records of 8-byte aligned fields, each at its predecessor's offset.
    std::vector<LONGLONG> buffer(kListingBytes / sizeof(LONGLONG));
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handle_.Get(), kind, buffer.data(), kListingBytes)) {
            const DWORD error = FailureOf(ERROR_NO_MORE_FILES);
            return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
        }
        for (std::size_t at = 0; at + sizeof(FILE_ID_BOTH_DIR_INFO) <= kListingBytes;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + at);
            const std::size_t nameAt = at + offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
            if (nameAt + record->FileNameLength > kListingBytes) return ERROR_INVALID_DATA;
            const std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            // A reparse point's listing holds its tag where the size of its
            // extended attributes would be.
            const DWORD tag = (record->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record->EaSize : 0;
            if (name != L"." && name != L"..") entries.push_back(ListedEntry{name, record->FileAttributes, tag});
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
}

bool HeldEntry::SetAttributes(DWORD attributes) {
    FILE_BASIC_INFO basic = {};  // zero times stay as they are
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;  // 0 would mean "unchanged"
    return SetFileInformationByHandle(handle_.Get(), FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

// The name goes at once with POSIX semantics, and a read-only entry without
// clearing its mark; where the platform refuses either (87 for a class or
// flag it does not know, or a file system without POSIX deletes), the older
// ways follow.
DWORD HeldEntry::Dispose(ReadOnly readOnly) {
    const bool readOnlyToo = readOnly == ReadOnly::GoesToo;
    DispositionEx ex = {kDispositionDelete | kDispositionPosix | kDispositionIgnoreReadOnly};
    if (readOnlyToo && SetFileInformationByHandle(handle_.Get(), kDispositionInfoEx, &ex, sizeof(ex)))
        return ERROR_SUCCESS;
    ex.flags = kDispositionDelete | kDispositionPosix;
    if (readOnlyToo && IsReadOnly() && HasOtherNames()) return ERROR_ACCESS_DENIED;
    const bool dropped = readOnlyToo && IsReadOnly() && SetAttributes(attributes_ & ~FILE_ATTRIBUTE_READONLY);
    FILE_DISPOSITION_INFO plain = {TRUE};
    if (SetFileInformationByHandle(handle_.Get(), kDispositionInfoEx, &ex, sizeof(ex)) ||
        SetFileInformationByHandle(handle_.Get(), FileDispositionInfo, &plain, sizeof(plain)))
        return ERROR_SUCCESS;
    const DWORD error = FailureOf(ERROR_ACCESS_DENIED);
    if (dropped) SetAttributes(attributes_);
    return error;
}

DWORD HeldEntry::Delete(ReadOnly readOnly) {
    const bool mayDelete = use_ == Use::Removal || (use_ == Use::Writing && created_);
    const DWORD error = !mayDelete     ? ERROR_ACCESS_DENIED
                        : listingOnly_ ? ERROR_SHARING_VIOLATION
                                       : Dispose(readOnly);
    handle_.Close();
    return error;
}

// A file that refused the writing open is held for its attributes only: its
// read-only mark is cleared through that handle, and while the name is held
// (no delete shared) the file is opened again to write, checked to be the
// one held; the mark is set again whatever the write gave.
DWORD HeldEntry::Write(const std::vector<char>& bytes) {
    if (!listingOnly_) return WriteWhole(handle_.Get(), bytes);
    if (!IsReadOnly()) return ERROR_ACCESS_DENIED;
    if (!SetAttributes(attributes_ & ~FILE_ATTRIBUTE_READONLY)) return FailureOf(ERROR_ACCESS_DENIED);
    const ScopedHandle writing(CreateFileW(meant_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD error = !writing                              ? FailureOf(ERROR_ACCESS_DENIED)
                        : !SameFile(handle_.Get(), writing.Get()) ? ERROR_ACCESS_DENIED
                                                              : WriteWhole(writing.Get(), bytes);
    return SetAttributes(attributes_) || error ? error : FailureOf(ERROR_ACCESS_DENIED);
}

DWORD HeldEntry::Read(std::vector<char>& bytes, DWORD maxBytes) const {
    char chunk[4096];
    for (DWORD read = 0;; bytes.insert(bytes.end(), chunk, chunk + read)) {
        if (bytes.size() > maxBytes) return ERROR_FILE_TOO_LARGE;
        if (!ReadFile(handle_.Get(), chunk, sizeof(chunk), &read, nullptr)) return FailureOf(ERROR_READ_FAULT);
        if (read == 0) return ERROR_SUCCESS;
    }
}

CopyFolder HoldCopyFolder(const std::wstring& base, const std::wstring& below, bool makeMissing) {
    CopyFolder folder;
    for (const std::wstring& level : FoldersOnTheWay(base, below, true)) {
        // Made inside the level above, which is held and cannot be swapped.
        if (makeMissing && !folder.levels.empty() && !CreateDirectoryW(level.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            folder.error = FailureOf(ERROR_CANNOT_MAKE);
            return folder;
        }
        HeldEntry held(level, HeldEntry::Use::Traversal);
        const DWORD error = held.OpenError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            folder.state = CopyFolder::State::Missing;
            return folder;
        }
        if (error || !held.IsFolder()) {
            folder.error = error ? error : ERROR_DIRECTORY;
            return folder;
        }
        if (held.IsLink() || held.IsElsewhere()) {
            folder.state = CopyFolder::State::Link;
            return folder;
        }
        folder.levels.push_back(std::move(held));
    }
    folder.state = CopyFolder::State::Held;
    return folder;
}

CopyResult ReadHeldFile(const std::wstring& path, DWORD maxBytes, std::vector<char>& bytes) {
    HeldEntry file(path, HeldEntry::Use::Reading);
    if (file.OpenError()) return {false, file.OpenError()};
    if (file.IsLink() || file.IsFolder() || file.HasOtherNames() || file.IsElsewhere()) return {true, ERROR_SUCCESS};
    const DWORD error = file.Read(bytes, maxBytes);
    return {error == ERROR_FILE_TOO_LARGE, error == ERROR_FILE_TOO_LARGE ? ERROR_SUCCESS : error};
}

CopyResult CopyInto(const CopyFolder& folder, const std::wstring& name, const std::vector<char>& bytes) {
    const std::wstring meant = folder.levels.back().Meant() + L"\\" + name;
    HeldEntry file(meant, HeldEntry::Use::Writing, meant);
    if (file.OpenError()) return {false, file.OpenError()};
    if (file.IsLink() || file.IsFolder() || file.HasOtherNames() || file.IsElsewhere()) {
        if (file.Created()) file.Delete(HeldEntry::ReadOnly::Stays);
        return {true, ERROR_SUCCESS};
    }
    return {false, file.Write(bytes)};
}

}  // namespace kci
