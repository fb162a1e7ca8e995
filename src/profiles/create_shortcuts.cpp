// Copying the product's shortcut into the folders the installer's properties
// choose, for the installing user or for every user, and sweeping away the
// older product's shortcuts.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "profiles/core/profile_paths.h"
#include "profiles/core/removal_tables.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/core/errors.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace {

constexpr DWORD kPropertyChars = 260;
constexpr wchar_t kShortcutFile[] = L"Tenvor Omni Meridia.lnk";
constexpr wchar_t kQuickLaunchBelowAppData[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";
constexpr wchar_t kQuickLaunchBelowProfile[] = L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";

// One place a copy of the shortcut goes, in the order the copies are made.
struct CopyTarget {
    const wchar_t* flag;  // property that is "1" to make this copy
    int commonFolder;     // for "AllUsers"; -1: every profile's Quick Launch bar instead
    int userFolder;       // for the installing user
    const wchar_t* belowFolder;
    const wchar_t* lookupFailure;
    const wchar_t* title;
    const wchar_t* copyFailure;
};

const CopyTarget kCopyTargets[] = {
    {L"DESKTOP_SHORTCUT", CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOP, L"",
     L"Couldn't get desktop directory, return code = 0x%x", L"Creating shortcut on desktop",
     L"Failed to install desktop icon, result = 0x%x"},
    {L"STARTUP_SHORTCUT", CSIDL_COMMON_STARTUP, CSIDL_STARTUP, L"",
     L"Couldn't get startup directory, return code = 0x%x", L"Creating shortcut on start menu",
     L"Failed to install startup icon, result = 0x%x"},
    {L"QUICKLAUNCH_SHORTCUT", -1, CSIDL_APPDATA, kQuickLaunchBelowAppData,
     L"Couldn't get quicklaunch directory, return code = 0x%x", L"Creating shortcut on Quick Launch bar",
     L"Failed to install startup icon on quick launch bar, result = 0x%x"},
};

struct ShortcutChoice {
    bool allUsers = false;
    bool wanted[3] = {};  // per row of kCopyTargets
    std::wstring source;
};

// Reads a property into a cleared buffer of kPropertyChars characters; a
// failed read (a longer value included) ends the action with its text.
kci::PropertyRead ReadLoggedProperty(MSIHANDLE session, const wchar_t* name) {
    const kci::PropertyRead read = kci::ReadProperty(session, name, kPropertyChars);
    if (read.result != ERROR_SUCCESS)
        throw stp::exstring(kci::Format(L"Couldn't get property for %s, return code = 0x%x", name, read.result));
    LogMessage(session, L"%s property: %s", name, read.value);
    return read;
}

ShortcutChoice ReadChoice(MSIHANDLE session) {
    ShortcutChoice choice;
    choice.allUsers = ReadLoggedProperty(session, L"ApplicationUsers").value == L"AllUsers";
    ReadLoggedProperty(session, L"DesktopFolder");
    // The flags are read Startup first, the order the log has always shown.
    for (int row : {1, 0, 2}) {
        const kci::PropertyRead flag = ReadLoggedProperty(session, kCopyTargets[row].flag);
        choice.wanted[row] = flag.value == L"1";
        LogMessage(session, L"%s property length: %d", kCopyTargets[row].flag, static_cast<int>(flag.length));
    }
    choice.source = ReadLoggedProperty(session, L"INSTALLDIR").value + kShortcutFile;
    LogMessage(session, L"Shortcut link is here: %s", choice.source);
    return choice;
}

std::optional<int> CopyShortcut(MSIHANDLE session, const std::wstring& source, const std::wstring& folder,
                                const wchar_t* title) {
    return kci::RunFileOperation(session, FO_COPY, source, folder, kci::kShortcutListChars, title);
}

// One copy into a folder of the platform's, for the installing user or all users.
void CopyToFolder(MSIHANDLE session, const CopyTarget& target, int folderId, const std::wstring& source) {
    wchar_t folder[MAX_PATH] = {};
    const HRESULT found = SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (found != S_OK) throw stp::exstring(kci::Format(target.lookupFailure, found));
    const std::wstring destination = std::wstring(folder) + target.belowFolder;
    LogMessage(session, L"Copying %s to %s", source, destination);
    const std::optional<int> result = CopyShortcut(session, source, destination, target.title);
    if (result && *result != 0) LogMessage(session, target.copyFailure, *result);
}

// The all-users Quick Launch copy: one into every profile. A failed folder
// lookup only ends the walk.
void CopyToEveryQuickLaunchBar(MSIHANDLE session, const CopyTarget& target, const std::wstring& source) {
    kci::WalkUserProfiles(session, L"Going to iterate quick launch bars at %s, result=%d", {},
                          [&](const std::wstring& profile) {
                              const std::wstring destination = profile + kQuickLaunchBelowProfile;
                              LogMessage(session, L"Going to install quick launch icon at %s", destination);
                              if (auto result = CopyShortcut(session, source, destination, target.title))
                                  LogMessage(session, L"Copy operation returned 0x%x", *result);
                          });
}

void RemoveOldShortcuts(MSIHANDLE session) {
    kci::ModuleContextGuard context;
    LogMessage(session, L"Entering RemoveOldShortcuts");
    kci::RunRemovalSweep(session, kci::kOldShortcutRemovals);
    LogMessage(session, L"Leaving RemoveOldShortcuts");
}

}  // namespace

// Type 1, immediate, after InstallFinalize (the shortcut file is then on
// disk). Reads ApplicationUsers, DesktopFolder, the three *_SHORTCUT flags and
// INSTALLDIR; copies "Tenvor Omni Meridia.lnk" to the desktop, Startup and
// Quick Launch folders whose flag is "1", then removes the older product's
// shortcuts. A failed read or folder lookup ends it early; always returns 0.
extern "C" UINT __stdcall CreateShortcuts(MSIHANDLE session) {
    return kci::RunAction(session, L"CreateShortcuts", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CreateShortcuts");
        try {
            const ShortcutChoice choice = ReadChoice(session);
            for (int row = 0; row < 3; ++row) {
                if (!choice.wanted[row]) continue;
                const CopyTarget& target = kCopyTargets[row];
                if (!choice.allUsers) CopyToFolder(session, target, target.userFolder, choice.source);
                else if (target.commonFolder >= 0) CopyToFolder(session, target, target.commonFolder, choice.source);
                else CopyToEveryQuickLaunchBar(session, target, choice.source);
            }
        } catch (const stp::exstring& failure) {
            LogMessage(session, L"Exiting CreateShortcuts with failure: %s", failure);
            return ERROR_SUCCESS;
        }
        LogMessage(session, L"Calling RemoveOldShortcuts");
        RemoveOldShortcuts(session);
        LogMessage(session, L"Exiting CreateShortcuts");
        return ERROR_SUCCESS;
    });
}
