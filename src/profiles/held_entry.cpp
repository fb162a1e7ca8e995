#include "profiles/held_entry.h"

#include <cstddef>

#include "profiles/core/profile_paths.h"
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
            return CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return INVALID_HANDLE_VALUE;
}

// The whole content of the file at `path`, or the error. Bytes in a vector:
// the narrow string would link in the whole of its library instance.
DWORD ReadWhole(const std::wstring& path, std::vector<char>& bytes) {
    const ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FailureOf(ERROR_OPEN_FAILED);
    char chunk[4096];
    for (DWORD read = 0;; bytes.insert(bytes.end(), chunk, chunk + read)) {
        if (!ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr)) return FailureOf(ERROR_READ_FAULT);
        if (read == 0) return ERROR_SUCCESS;
    }
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
    if (!handle_ && use == Use::Removal && GetLastError() == ERROR_SHARING_VIOLATION) {
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
    const DWORD error = use_ != Use::Removal ? ERROR_ACCESS_DENIED
                        : listingOnly_       ? ERROR_SHARING_VIOLATION
                                             : Dispose(readOnly);
    handle_.Close();
    return error;
}

DWORD HeldEntry::Write(const std::vector<char>& bytes) {
    DWORD written = 0;
    if (!WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return FailureOf(ERROR_WRITE_FAULT);
    if (written != bytes.size()) return ERROR_WRITE_FAULT;
    return SetEndOfFile(handle_.Get()) ? ERROR_SUCCESS : FailureOf(ERROR_WRITE_FAULT);
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

CopyResult CopyInto(const CopyFolder& folder, const std::wstring& name, const std::wstring& source) {
    std::vector<char> bytes;
    if (const DWORD error = ReadWhole(source, bytes)) return {false, error};
    const std::wstring meant = folder.levels.back().Meant() + L"\\" + name;
    HeldEntry file(meant, HeldEntry::Use::Writing, meant);
    if (file.OpenError()) return {false, file.OpenError()};
    if (file.IsLink() || file.HasOtherNames() || file.IsElsewhere()) return {true, ERROR_SUCCESS};
    return {false, file.Write(bytes)};
}

}  // namespace kci
