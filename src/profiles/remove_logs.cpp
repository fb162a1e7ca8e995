// Deleting the product's "Logs" folder under the installation directory on
// removal, outright (no recycle bin).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <vector>

#include "profiles/core/profile_paths.h"
#include "runtime/held_entry.h"
#include "runtime/action_frame.h"
#include "runtime/action_value.h"
#include "runtime/cancel_actions.h"
#include "runtime/catalogue.h"
#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

namespace {

// The removal of the Logs tree through handles: every entry is held while it
// is checked and deleted, folders depth first while they are held, and
// nothing is followed. Links stay; so does every folder on the way to one.
class TreeRemoval {
public:
    explicit TreeRemoval(MSIHANDLE session) : session_(session) {}

    // Holds `path` (meant as `meant`, its long form, where known) for its
    // removal, or gives nothing: after its line when it is a link or leads
    // elsewhere, counted as a failure when it cannot be opened. `elsewhere`
    // is the line for a path that leads elsewhere.
    std::optional<kci::HeldEntry> Hold(const std::wstring& path, const std::wstring& meant = L"",
                                       const wchar_t* elsewhere = L"Link on the way, not deleted: %s") {
        kci::HeldEntry entry(path, kci::HeldEntry::Use::Removal, meant);
        if (entry.OpenError()) Fail(entry.OpenError());
        else if (entry.IsLink()) Keep(L"Link left in place: %s", path);
        else if (entry.IsElsewhere()) Keep(elsewhere, path);
        else return entry;
        return std::nullopt;
    }

    // Removes everything in the held `folder` at `path`, shown first as the
    // action's data; true when all of it went. A folder that cannot be listed
    // is kept, as one holding a link is.
    bool Empty(const kci::HeldEntry& folder, const std::wstring& path) {
        ShowActionData(session_, path);
        std::vector<kci::ListedEntry> entries;
        if (const DWORD error = folder.List(entries)) {
            LogMessage(session_, L"Cannot list %s, error %lu", path, error);
            Fail(error);
            keptEntries_ = true;
            return false;
        }
        bool emptied = true;
        for (const kci::ListedEntry& entry : entries)
            emptied = Remove(path + L"\\" + entry.name, folder.Meant() + L"\\" + entry.name, entry) && emptied;
        return emptied;
    }

    // The shell's delete that this replaces took read-only entries too
    // (RemoveLogs.DeletesTheLogsFolderOfTheInstallationDirectoryOnly).
    static DWORD DeleteHeld(kci::HeldEntry& entry) { return entry.Delete(kci::HeldEntry::ReadOnly::GoesToo); }

    void Fail(DWORD error) {
        if (firstError_ == ERROR_SUCCESS) firstError_ = error;
    }
    DWORD FirstError() const { return firstError_; }
    // True when something was left in place: a link, an entry leading
    // elsewhere, or a folder that could not be listed.
    bool KeptEntries() const { return keptEntries_; }

private:
    // One entry the listing gave: a link stays, a folder goes once emptied,
    // a read-only file with other names keeps its mark and may stay.
    bool Remove(const std::wstring& path, const std::wstring& meant, const kci::ListedEntry& listed) {
        if (kci::IsListedLink(listed)) {
            Keep(L"Link left in place: %s", path);
            return false;
        }
        std::optional<kci::HeldEntry> entry = Hold(path, meant);
        if (!entry || (entry->IsFolder() && !Empty(*entry, path))) return false;
        const DWORD error = DeleteHeld(*entry);
        if (error && entry->IsReadOnly() && entry->HasOtherNames()) LogMessage(session_, L"Hard link left in place: %s", path);
        Fail(error);
        return error == ERROR_SUCCESS;
    }

    void Keep(const wchar_t* line, const std::wstring& path) {
        LogMessage(session_, line, path);
        keptEntries_ = true;
    }

    MSIHANDLE session_;
    DWORD firstError_ = ERROR_SUCCESS;
    bool keptEntries_ = false;
};

// The one error message the user sees, the failing step shown again, and
// the Cancel button given back.
void ReportFailure(MSIHANDLE session, const std::wstring& failure, kci::TextLanguage language) {
    const std::wstring message = kci::CatalogueText(session, kci::kTextLogRemovalError, language) + failure +
                                 L" \r\n\r\n" + kci::CatalogueText(session, kci::kTextLogRemovalAdvice, language);
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    MsiRecordSetStringW(record.Get(), 0, message.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ERROR, record.Get());
    // Shown a second time, after the message, as packages have always seen it
    // (held by RemoveLogs.FailedTargetPathSendsOneErrorShowsTextEighteenTwiceAndEnablesCancel).
    ShowActionStart(session, kci::CatalogueText(session, kci::kTextLogRemovalFailed, language));
    EnableCancel(session);
}

// The installation's target path, logged: read from the installation, or in
// the script form from CustomActionData. Nothing when it cannot be read.
std::optional<std::wstring> InstallationTarget(MSIHANDLE session, kci::ActionValues& values) {
    const kci::ActionValue target =
        values.Read(L"INSTALLDIR", kci::kPathChars, kci::ValueKind::Path, kci::SessionValue::TargetPath);
    if (values.FromScript()) return target.value;
    if (!target.value) {
        LogMessage(session, L"MsiGetTargetPath of INSTALLDIR returned %d", static_cast<int>(target.result));
        return std::nullopt;
    }
    // The line names MsiGetProperty and another program, but packages look
    // for it as it is (held by RemoveLogs.DeletesTheLogsFolderOfTheInstallationDirectoryOnly).
    LogMessage(session, L"MsiGetProperty says ZephWin32.exe component path is [%s], len=%d", *target.value,
               static_cast<int>(target.value->size()));
    return target.value;
}

// The commit form's last step. The installer's own folder removal ran while
// Logs still held the installation folder: once Logs, its last entry, is
// gone, the folder goes too, held and checked as Logs is.
void RemoveEmptiedInstallationFolder(MSIHANDLE session, TreeRemoval& removal, const std::wstring& folder) {
    std::optional<kci::HeldEntry> held = removal.Hold(folder);
    std::vector<kci::ListedEntry> entries;
    if (!held || !held->IsFolder() || held->List(entries) != ERROR_SUCCESS || !entries.empty()) return;
    if (TreeRemoval::DeleteHeld(*held) == ERROR_SUCCESS)
        LogMessage(session, L"Installation folder left empty, removed: %s", folder);
}

}  // namespace

// Type 1, immediate, on removal while INSTALLDIR still resolves. Deletes what
// "<INSTALLDIR>\Logs" holds and then the folder, through handles, following
// no link; a missing folder is only logged. If INSTALLDIR has no target
// path, shows one error message and the Cancel button again. Always returns 0.
// Also a commit row as the system (type 3585, RemoveLogsCommit), or deferred
// (type 3073) where rollback is disabled; CustomActionData is
// INSTALLDIR|[INSTALLDIR]. The commit row also removes the installation
// folder when Logs was all it held.
extern "C" UINT __stdcall RemoveLogs(MSIHANDLE session) {
    return kci::RunAction(session, L"RemoveLogs", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering RemoveLogs");
        kci::ActionValues values(session);
        const kci::TextLanguage language = kci::LanguageOfRun(values.FromScript());
        ShowActionStart(session, kci::CatalogueText(session, kci::kTextRemovingLogs, language), kci::kUnitAloneTemplate);

        const std::optional<std::wstring> target = InstallationTarget(session, values);
        if (!target) {
            ShowActionStart(session, kci::CatalogueText(session, kci::kTextLogRemovalFailed, language));
            ReportFailure(session, L"Could not locate ZephWin32 component", language);
            return ERROR_SUCCESS;
        }

        const std::wstring installation = kci::InstallDirectoryForLogs(*target);
        const std::wstring folder = installation + L"\\Logs";
        LogMessage(session, L"Going to try removing log files: %s", folder + L"\\*.*");
        TreeRemoval removal(session);
        // A link above the installation folder leads its final path away too: the
        // folder's own final path cannot say where it was meant to be.
        std::optional<kci::HeldEntry> logs =
            removal.Hold(folder, L"", L"Installation folder reached through a link, logs kept: %s");
        if (logs && logs->IsFolder()) removal.Empty(*logs, folder);
        else if (logs) removal.Fail(ERROR_DIRECTORY);
        // The shell's words, which packages look for, with the removal's own number (held by RemoveLogs.DeletesTheLogsFolderOfTheInstallationDirectoryOnly).
        const bool logsIsLink = !logs && removal.KeptEntries();
        if (!logsIsLink)
            LogMessage(session, L"SHFileOperation to delete log files: [%s] returned %d", folder + L"\\*.*",
                       static_cast<int>(removal.FirstError()));
        if (removal.KeptEntries()) {
            // Kept for a folder that could not be listed too: its "Cannot list" line came first.
            LogMessage(session, L"Log folder holds a link, kept: %s", folder);
        } else {
            LogMessage(session, L"Going to try removing log file folder: %s", folder);
            const DWORD result = logs && logs->IsFolder() ? TreeRemoval::DeleteHeld(*logs) : removal.FirstError();
            LogMessage(session, L"SHFileOperation to delete log folder: [%s] returned %d", folder,
                       static_cast<int>(result));
            if (result == ERROR_SUCCESS && kci::RunsAtCommit(session))
                RemoveEmptiedInstallationFolder(session, removal, installation);
        }

        LogMessage(session, L"Exiting RemoveLogs");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
