// The handle calls used here came with Windows Vista; the rest of the library
// is built against the older headers.
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif

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

// The error of a failed call, never 0 even where the call set none.
DWORD FailureOf(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace

HeldEntry::HeldEntry(const std::wstring& path) {
    if (path.size() > kPathChars) {
        error_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    handle_.Reset(CreateFileW(path.c_str(),
                              DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!handle_ || !GetFileInformationByHandle(handle_.Get(), &information)) {
        error_ = FailureOf(ERROR_OPEN_FAILED);
        handle_.Close();
        return;
    }
    attributes_ = information.dwFileAttributes;
    wchar_t finalPath[kFinalPathChars] = {};
    const DWORD length =
        GetFinalPathNameByHandleW(handle_.Get(), finalPath, kFinalPathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    atPath_ = length > 0 && length < kFinalPathChars && IsFinalPathOf(std::wstring_view(finalPath, length), path);
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
            if (name != L"." && name != L"..") entries.push_back(ListedEntry{name, record->FileAttributes});
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
}

void HeldEntry::DropReadOnly() {
    if (!(attributes_ & FILE_ATTRIBUTE_READONLY)) return;
    FILE_BASIC_INFO basic = {};  // zero times stay as they are
    const DWORD rest = attributes_ & ~FILE_ATTRIBUTE_READONLY;
    basic.FileAttributes = rest ? rest : FILE_ATTRIBUTE_NORMAL;  // 0 would mean "unchanged"
    if (SetFileInformationByHandle(handle_.Get(), FileBasicInfo, &basic, sizeof(basic))) attributes_ = rest;
}

DWORD HeldEntry::Delete() {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    const DWORD error = SetFileInformationByHandle(handle_.Get(), FileDispositionInfo, &disposition, sizeof(disposition))
                            ? ERROR_SUCCESS
                            : FailureOf(ERROR_ACCESS_DENIED);
    handle_.Close();
    return error;
}

}  // namespace kci
