// Copying the product's shortcut into the folders the installer's properties
// choose, for the installing user or for every user, and sweeping away the
// older product's shortcuts.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "profiles/core/profile_paths.h"
#include "runtime/held_entry.h"
#include "profiles/core/removal_tables.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/action_value.h"
#include "runtime/core/errors.h"
#include "runtime/core/named_fields.h"
#include "runtime/core/text_limits.h"
#include "runtime/known_folder.h"
#include "runtime/log.h"

namespace kci {

namespace {

constexpr wchar_t kShortcutFile[] = L"Tenvor Omni Meridia.lnk";
// A longer file is no shortcut of the product's.
constexpr DWORD kShortcutMaxBytes = 1024 * 1024;
constexpr wchar_t kQuickLaunchBelowProfile[] = L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";

// One place a copy of the shortcut goes, and what is logged about it. One
// row, built by named field, as in
//   CopyTarget().ForUser(ShellFolder::UserDesktop).ForAllUsers(ShellFolder::CommonDesktop)
struct CopyTarget {
    kci::ShellFolder userFolder = kci::ShellFolder::UserDesktop;       // for the installing user
    kci::ShellFolder allUsersFolder = kci::ShellFolder::CommonDesktop;  // for "AllUsers", unless everyProfile
    bool everyProfile = false;  // for "AllUsers": every profile's Quick Launch bar instead
    const wchar_t* belowFolder = L"";  // joined to the folder
    const wchar_t* lookupFailure = nullptr;
    const wchar_t* copyFailure = nullptr;

    constexpr CopyTarget ForUser(kci::ShellFolder folder) const {
        return WithField(*this, &CopyTarget::userFolder, folder);
    }
    constexpr CopyTarget ForAllUsers(kci::ShellFolder folder) const {
        return WithField(*this, &CopyTarget::allUsersFolder, folder);
    }
    constexpr CopyTarget ForAllUsersInEveryProfile() const { return WithField(*this, &CopyTarget::everyProfile, true); }
    constexpr CopyTarget Below(const wchar_t* path) const { return WithField(*this, &CopyTarget::belowFolder, path); }
    constexpr CopyTarget LookupFailure(const wchar_t* line) const {
        return WithField(*this, &CopyTarget::lookupFailure, line);
    }
    constexpr CopyTarget CopyFailure(const wchar_t* line) const {
        return WithField(*this, &CopyTarget::copyFailure, line);
    }
};

constexpr CopyTarget kDesktopTarget = CopyTarget()
                                          .ForUser(kci::ShellFolder::UserDesktop)
                                          .ForAllUsers(kci::ShellFolder::CommonDesktop)
                                          .LookupFailure(L"Couldn't get desktop directory, return code = 0x%x")
                                          .CopyFailure(L"Failed to install desktop icon, result = 0x%x");

constexpr CopyTarget kStartupTarget = CopyTarget()
                                          .ForUser(kci::ShellFolder::UserStartup)
                                          .ForAllUsers(kci::ShellFolder::CommonStartup)
                                          .LookupFailure(L"Couldn't get startup directory, return code = 0x%x")
                                          .CopyFailure(L"Failed to install startup icon, result = 0x%x");

constexpr CopyTarget kQuickLaunchTarget =
    CopyTarget()
        .ForUser(kci::ShellFolder::UserAppData)
        .ForAllUsersInEveryProfile()
        .Below(kci::kQuickLaunchBelowAppData)
        .LookupFailure(L"Couldn't get quicklaunch directory, return code = 0x%x")
        .CopyFailure(L"Failed to install startup icon on quick launch bar, result = 0x%x");

struct ShortcutChoice {
    bool allUsers = false;
    bool desktop = false;
    bool startup = false;
    bool quickLaunch = false;
    std::wstring source;
};

// The shortcut's content, read once through its handle before the copies:
// 0 or the error of the read, which each copy then reports.
struct ShortcutContent {
    DWORD error = 0;
    std::vector<char> bytes;
};

std::wstring ReadFailure(const wchar_t* name, unsigned result) {
    return kci::Format(L"Couldn't get property for %s, return code = 0x%x", name, result);
}

// Reads each value of up to kPathChars characters, logged: a property of the
// installation, or in the script form the value CustomActionData gives under
// its name. A failed read (a longer value included) ends the action with its
// text; the script form has no installer result to give, so it gives 0.
class ChoiceReader {
public:
    explicit ChoiceReader(MSIHANDLE session) : session_(session), values_(session) {}

    std::wstring Read(const wchar_t* name, kci::ValueKind kind = kci::ValueKind::Text) {
        const kci::ActionValue read = values_.Read(name, kci::kPathChars, kind);
        // Kept, "return code = 0x0" after a failed script read: the reader's
        // "CustomActionData has no usable" line before it gives the reason.
        if (!read.value) throw stp::exstring(ReadFailure(name, read.result));
        if (!values_.FromScript()) LogMessage(session_, L"%s property: %s", name, *read.value);
        return *read.value;
    }

    // A *_SHORTCUT flag, its value and its length logged: true only for "1".
    bool ReadFlag(const wchar_t* name) {
        const std::wstring flag = Read(name);
        LogMessage(session_, L"%s property length: %d", name, static_cast<int>(flag.size()));
        return flag == L"1";
    }

private:
    MSIHANDLE session_;
    kci::ActionValues values_;
};

ShortcutChoice ReadChoice(MSIHANDLE session) {
    ChoiceReader reader(session);
    ShortcutChoice choice;
    choice.allUsers = reader.Read(L"ApplicationUsers") == L"AllUsers";
    // Kept though unused: its line is in the log packages read, and one too long still ends the action
    // (CreateShortcuts.FailedPropertyReadEndsTheActionBeforeTheSweep).
    reader.Read(L"DesktopFolder", kci::ValueKind::Path);
    // Startup is read before Desktop although it is copied after it: packages
    // look for this order of lines (held by CreateShortcuts.LooksUpOnlyTheFoldersWhoseFlagIsOne).
    choice.startup = reader.ReadFlag(L"STARTUP_SHORTCUT");
    choice.desktop = reader.ReadFlag(L"DESKTOP_SHORTCUT");
    choice.quickLaunch = reader.ReadFlag(L"QUICKLAUNCH_SHORTCUT");
    choice.source = reader.Read(L"INSTALLDIR", kci::ValueKind::Path) + kShortcutFile;
    LogMessage(session, L"Shortcut link is here: %s", choice.source);
    return choice;
}

// The copy into a folder held for it: 0 or the Windows error; nothing, after
// its line, when the destination file is refused.
std::optional<DWORD> CopyHeld(MSIHANDLE session, const kci::CopyFolder& folder, const ShortcutContent& source,
                              const std::wstring& destination) {
    if (folder.state == kci::CopyFolder::State::Failed) return folder.error;
    if (folder.state != kci::CopyFolder::State::Held) return ERROR_PATH_NOT_FOUND;
    if (source.error) return source.error;
    const kci::CopyResult result = kci::CopyInto(folder, kShortcutFile, source.bytes);
    if (!result.refused) return result.error;
    LogMessage(session, L"Link on the way, not copied: %s", destination);
    return std::nullopt;
}

// One copy into a folder of the platform's, for the installing user or all
// users; missing folders below it are made.
void CopyToFolder(MSIHANDLE session, const CopyTarget& target, kci::ShellFolder shellFolder,
                  const std::wstring& source, const ShortcutContent& content) {
    const kci::KnownFolder folder = kci::GetKnownFolder(kci::Csidl(shellFolder));
    if (folder.result != S_OK) throw stp::exstring(kci::Format(target.lookupFailure, folder.result));
    const std::wstring destination = folder.path + target.belowFolder;
    ShowActionData(session, destination);
    const kci::CopyFolder held = kci::HoldCopyFolder(folder.path, target.belowFolder, true);
    if (held.state == kci::CopyFolder::State::Link) {
        LogMessage(session, L"Link on the way, not copied: %s", destination);
        return;
    }
    LogMessage(session, L"Copying %s to %s", source, destination);
    const std::optional<DWORD> result = CopyHeld(session, held, content, destination);
    if (result && *result != 0) LogMessage(session, target.copyFailure, *result);
}

// The all-users Quick Launch copy: one into every profile whose Quick Launch
// folder is there; another user's folders are never made. A failed folder
// lookup only ends the walk.
void CopyToEveryQuickLaunchBar(MSIHANDLE session, const ShortcutContent& content) {
    kci::WalkUserProfiles(
        session, L"Going to iterate quick launch bars at %s, result=%d", {}, [&](const std::wstring& profile) {
            const std::wstring destination = profile + kQuickLaunchBelowProfile;
            ShowActionData(session, destination);
            LogMessage(session, L"Going to install quick launch icon at %s", destination);
            const kci::CopyFolder held = kci::HoldCopyFolder(profile, kQuickLaunchBelowProfile, false);
            if (held.state == kci::CopyFolder::State::Link)
                LogMessage(session, L"Link on the way, not copied: %s", destination);
            else if (held.state == kci::CopyFolder::State::Missing)
                LogMessage(session, L"Folder not there, not copied: %s", destination);
            else if (const std::optional<DWORD> result = CopyHeld(session, held, content, destination))
                LogMessage(session, L"Copy operation returned 0x%x", *result);
        });
}

void CopyIfWanted(MSIHANDLE session, bool wanted, const CopyTarget& target, const ShortcutChoice& choice,
                  const ShortcutContent& content) {
    if (!wanted) return;
    if (!choice.allUsers) CopyToFolder(session, target, target.userFolder, choice.source, content);
    else if (target.everyProfile) CopyToEveryQuickLaunchBar(session, content);
    else CopyToFolder(session, target, target.allUsersFolder, choice.source, content);
}

// The copies of the shortcut, read once through its handle; none of a source
// that is no plain file of the installation folder (a link, another name of
// a file elsewhere, or longer than a shortcut).
void CopyShortcut(MSIHANDLE session, const ShortcutChoice& choice) {
    if (!choice.desktop && !choice.startup && !choice.quickLaunch) return;
    ShortcutContent content;
    const kci::CopyResult read = kci::ReadHeldFile(choice.source, kShortcutMaxBytes, content.bytes);
    if (read.refused) {
        LogMessage(session, L"Shortcut source is not a plain file, not copied: %s", choice.source);
        return;
    }
    content.error = read.error;
    CopyIfWanted(session, choice.desktop, kDesktopTarget, choice, content);
    CopyIfWanted(session, choice.startup, kStartupTarget, choice, content);
    CopyIfWanted(session, choice.quickLaunch, kQuickLaunchTarget, choice, content);
}

void RemoveOldShortcuts(MSIHANDLE session) {
    // Kept, a second guard inside the action's own: entering the module context twice is harmless and
    // the step keeps its own frame (Library.EveryExportRunsInTheActionFrame).
    kci::ModuleContextGuard context;
    LogMessage(session, L"Entering RemoveOldShortcuts");
    kci::RunRemovalSweep(session, kci::kOldShortcutRemovals);
    // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
    // (tests/e2e, case_shortcuts_made_and_removed_logs_removed).
    LogMessage(session, L"Leaving RemoveOldShortcuts");
}

}  // namespace

// Type 1, immediate, after InstallFinalize (the shortcut file is then on
// disk). Reads ApplicationUsers, DesktopFolder, the three *_SHORTCUT flags and
// INSTALLDIR; copies "Tenvor Omni Meridia.lnk" to the desktop, Startup and
// Quick Launch folders whose flag is "1" (read through its handle, of one
// name and at most 1 MB; through held folders, none through a link, never
// over a file with other names), then
// removes the older product's shortcuts. A failed read or folder lookup ends
// it early; always returns 0. Also deferred after InstallFiles, reading the
// six values from CustomActionData under the same names: as the system (type
// 3073, KorviCreateShortcutsDeferred) for "AllUsers", impersonated (type
// 1025, KorviCreateShortcutsForUser) for the installing user's own folders.
extern "C" UINT __stdcall CreateShortcuts(MSIHANDLE session) {
    return kci::RunAction(session, L"CreateShortcuts", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CreateShortcuts");
        try {
            CopyShortcut(session, ReadChoice(session));
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

}  // namespace kci
