#include "profiles/profile_walk.h"

#include <shlobj.h>

#include "profiles/core/profile_paths.h"
#include "runtime/held_entry.h"
#include "runtime/core/ascii_case.h"
#include "runtime/handles.h"
#include "runtime/known_folder.h"
#include "runtime/log.h"

namespace kci {
namespace {

// A reparse point whose tag, as its folder lists it, is a name surrogate's
// (see ReparseKindOf); a tag that cannot be read counts as one.
bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    WIN32_FIND_DATAW listed = {};
    FindHandle search(FindFirstFileW(path.c_str(), &listed));
    return ReparseKindOf(true, search ? listed.dwReserved0 : 0) == ReparseKind::Link;
}

// Deletes a held entry as the row's kind allows, with the errors that
// DeleteFileW gives for a folder and RemoveDirectoryW for a file.
DWORD DeleteAs(HeldEntry& entry, RemovalKind kind) {
    if (entry.IsFolder() != (kind == RemovalKind::Directory))
        return kind == RemovalKind::File ? ERROR_ACCESS_DENIED : ERROR_DIRECTORY;
    // Read-only entries stay, as they did for DeleteFileW.
    return entry.Delete(HeldEntry::ReadOnly::Stays);
}

// The system's text for an error code, or empty when it has none.
std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 511, nullptr);
    return std::wstring(text, length);
}

// One removal of a sweep, remembered so that no later one of the run tries
// the same path. Every folder from `base` down to the removed entry is
// checked first: a link there could lead the delete out of the profile. The
// delete then goes through a handle held on the entry whose final path is
// the path meant, so that a link put on the way after the check is caught.
class Remover {
public:
    explicit Remover(MSIHANDLE session) : session_(session) {}

    void Remove(const std::wstring& base, const std::wstring& below, const wchar_t* logLine, RemovalKind kind) {
        const std::wstring path = base + below;
        for (const std::wstring& tried : tried_)
            if (SameIgnoringAsciiCase(tried, path)) return;
        tried_.push_back(path);
        if (PassesLink(base, below, kind == RemovalKind::Directory)) {
            LogMessage(session_, L"Link on the way, not deleted: %s", path);
            return;
        }
        LogMessage(session_, logLine, path);
        HeldEntry entry(path, HeldEntry::Use::Removal);
        if (!entry.OpenError() && (entry.IsLink() || entry.IsElsewhere())) {
            LogMessage(session_, L"Link on the way, not deleted: %s", path);
            return;
        }
        const DWORD error = entry.OpenError() ? entry.OpenError() : DeleteAs(entry, kind);
        LogMessage(session_, L"Result = %d", error == ERROR_SUCCESS ? 1 : 0);
        if (error == ERROR_SUCCESS) return;
        const std::wstring text = SystemErrorText(error);
        if (!text.empty()) LogMessage(session_, L"Error: %s", text);
    }

private:
    MSIHANDLE session_;
    std::vector<std::wstring> tried_;
};

auto RemoveRowsOf(MSIHANDLE session, Remover& remover, const RemovalTable& table, ProfileScope scope,
                  SweepProgress progress) {
    return [=, &remover, &table](const std::wstring& profileDirectory) {
        if (progress == SweepProgress::EachProfile) ShowActionData(session, profileDirectory);
        for (const RemovalRow& row : table)
            if (row.scope == scope) remover.Remove(profileDirectory, row.path, row.logLine, row.kind);
    };
}

void VisitProfiles(const std::wstring& root, const ProfileStep& profileStep) {
    WIN32_FIND_DATAW entry = {};
    FindHandle search(FindFirstFileW((root + L"*").c_str(), &entry));
    if (!search) return;
    do {
        const std::wstring name = entry.cFileName;
        if (IsProfileEntry(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
            profileStep(root + name);
    } while (FindNextFileW(search.Get(), &entry));
}

}  // namespace

void WalkUserProfiles(MSIHANDLE session, const wchar_t* openingFormat, const ProfileStep& allUsersStep,
                      const ProfileStep& profileStep) {
    const KnownFolder commonAppData = GetKnownFolder(CSIDL_COMMON_APPDATA);
    LogMessage(session, openingFormat, commonAppData.path, commonAppData.result);
    if (commonAppData.result != S_OK) return;

    const ProfileCuts cuts = CutCommonAppData(commonAppData.path);
    const bool noRoot = IsBareRoot(cuts.root);
    LogMessage(session, L"Stripping first component gave: %s", cuts.allUsers);
    // Without a profiles root the first cut is no all-users profile but a
    // drive or a folder anyone may create.
    if (allUsersStep && noRoot)
        LogMessage(session, L"No profiles root above %s, all-users profile not visited", commonAppData.path);
    else if (allUsersStep)
        allUsersStep(cuts.allUsers);
    LogMessage(session, L"Stripping second component gave: %s", cuts.root);
    if (noRoot) {
        LogMessage(session, L"No profiles root above %s, no profile visited", commonAppData.path);
        return;
    }
    VisitProfiles(cuts.root, profileStep);
}

void RunRemovalSweep(MSIHANDLE session, const RemovalTable& table, SweepScope scope, SweepProgress progress) {
    Remover remover(session);
    if (scope != SweepScope::OwnFolders)
        WalkUserProfiles(session, L"Going to iterate through all users at %s, result=0x%0x",
                         RemoveRowsOf(session, remover, table, ProfileScope::AllUsers, progress),
                         RemoveRowsOf(session, remover, table, ProfileScope::EachProfile, progress));
    // The copies made on the platform's own layout, which no row reaches.
    const std::wstring shortcut = std::wstring(L"\\") + table.shortcut;
    for (const ShellFolderRemoval& removal : kShellFolderRemovals) {
        const bool common = removal.folder == ShellFolder::CommonDesktop || removal.folder == ShellFolder::CommonStartup;
        if (scope != SweepScope::Everything && common != (scope == SweepScope::AllUsers)) continue;
        const KnownFolder folder = GetKnownFolder(Csidl(removal.folder));
        if (folder.result != S_OK) {
            LogMessage(session, L"Folder CSIDL 0x%x not found, result=0x%x, nothing deleted there",
                       static_cast<unsigned>(Csidl(removal.folder)), folder.result);
            continue;
        }
        remover.Remove(folder.path, removal.below + shortcut, removal.logLine, RemovalKind::File);
    }
}

int Csidl(ShellFolder folder) {
    switch (folder) {
        case ShellFolder::CommonDesktop: return CSIDL_COMMON_DESKTOPDIRECTORY;
        case ShellFolder::UserDesktop: return CSIDL_DESKTOP;
        case ShellFolder::CommonStartup: return CSIDL_COMMON_STARTUP;
        case ShellFolder::UserStartup: return CSIDL_STARTUP;
        case ShellFolder::UserAppData: return CSIDL_APPDATA;
    }
    return CSIDL_APPDATA;
}

bool PassesLink(const std::wstring& base, const std::wstring& below, bool includeTarget) {
    for (const std::wstring& folder : FoldersOnTheWay(base, below, includeTarget))
        if (IsLink(folder)) return true;
    return false;
}

}  // namespace kci
