#include "profiles/profile_walk.h"

#include <shellapi.h>
#include <shlobj.h>

#include "profiles/core/profile_paths.h"
#include "runtime/handles.h"
#include "runtime/log.h"

namespace kci {
namespace {

// The system's text for an error code, or empty when it has none.
std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 511, nullptr);
    return std::wstring(text, length);
}

void RemoveEntry(MSIHANDLE session, const RemovalRow& row, const std::wstring& profileDirectory) {
    const std::wstring path = profileDirectory + row.path;
    LogMessage(session, row.logLine, path);
    const BOOL removed = row.kind == RemovalKind::File ? DeleteFileW(path.c_str()) : RemoveDirectoryW(path.c_str());
    const DWORD error = GetLastError();
    LogMessage(session, L"Result = %d", removed ? 1 : 0);
    if (removed) return;
    const std::wstring text = SystemErrorText(error);
    if (!text.empty()) LogMessage(session, L"Error: %s", text);
}

auto RemoveRowsOf(MSIHANDLE session, const RemovalTable& table, ProfileScope scope) {
    return [session, &table, scope](const std::wstring& profileDirectory) {
        for (const RemovalRow& row : table)
            if (row.scope == scope) RemoveEntry(session, row, profileDirectory);
    };
}

void VisitProfiles(const std::wstring& root, const ProfileStep& profileStep) {
    WIN32_FIND_DATAW entry = {};
    FindHandle search(FindFirstFileW((root + L"*").c_str(), &entry));
    if (!search) return;
    do {
        const std::wstring name = entry.cFileName;
        if (IsProfileEntry(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) profileStep(root + name);
    } while (FindNextFileW(search.Get(), &entry));
}

}  // namespace

void WalkUserProfiles(MSIHANDLE session, const wchar_t* openingFormat, const ProfileStep& allUsersStep,
                      const ProfileStep& profileStep) {
    wchar_t commonAppData[MAX_PATH] = {};
    const HRESULT found = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, commonAppData);
    LogMessage(session, openingFormat, commonAppData, found);
    if (found != S_OK) return;

    const ProfileCuts cuts = CutCommonAppData(commonAppData);
    LogMessage(session, L"Stripping first component gave: %s", cuts.allUsers);
    if (allUsersStep) allUsersStep(cuts.allUsers);
    LogMessage(session, L"Stripping second component gave: %s", cuts.root);
    // Searching an empty root would list the current directory instead.
    if (cuts.root.empty()) {
        LogMessage(session, L"No profiles root above %s, no profile visited", commonAppData);
        return;
    }
    VisitProfiles(cuts.root, profileStep);
}

void RunRemovalSweep(MSIHANDLE session, const RemovalTable& table) {
    WalkUserProfiles(session, L"Going to iterate through all users at %s, result=0x%0x",
                     RemoveRowsOf(session, table, ProfileScope::AllUsers),
                     RemoveRowsOf(session, table, ProfileScope::EachProfile));
}

std::optional<int> RunFileOperation(MSIHANDLE session, UINT operation, const std::wstring& from,
                                    const std::wstring& to, std::size_t listChars, const wchar_t* title) {
    auto source = SingleNameList(from, listChars);
    std::optional<std::vector<wchar_t>> destination;
    if (operation == FO_COPY) destination = SingleNameList(to, listChars);
    if (!source || (operation == FO_COPY && !destination)) {
        LogMessage(session, L"Path does not fit the %u-character file list, no file operation for: %s",
                   static_cast<unsigned>(listChars), source ? to : from);
        return std::nullopt;
    }
    SHFILEOPSTRUCTW operationData = {};
    operationData.wFunc = operation;
    operationData.pFrom = source->data();
    operationData.pTo = destination ? destination->data() : nullptr;
    operationData.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    operationData.lpszProgressTitle = title;
    return SHFileOperationW(&operationData);
}

}  // namespace kci
