// Deleting the product's "Logs" folder under the installation directory on
// removal, outright (no recycle bin).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "profiles/core/profile_paths.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/cancel_actions.h"
#include "runtime/catalogue.h"
#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

namespace {


// One delete of the logs' pattern or folder; its result is only logged.
void DeleteLogPath(MSIHANDLE session, const std::wstring& path, const wchar_t* title, const wchar_t* resultLine,
                   FILEOP_FLAGS moreFlags = 0) {
    if (auto result = kci::RunFileOperation(session, FO_DELETE, path, L"", kci::kDeleteListChars, title, moreFlags))
        LogMessage(session, resultLine, path, *result);
}

// Every link in `folder` and in the folders below it, none followed.
void FindLinksBelow(const std::wstring& folder, std::vector<std::wstring>& links) {
    WIN32_FIND_DATAW entry = {};
    kci::FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) links.push_back(folder + L"\\" + name);
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) FindLinksBelow(folder + L"\\" + name, links);
    } while (FindNextFileW(search.Get(), &entry));
}

// The links the shell's recursive delete of `logs` would follow: the folder
// itself if it is one, else every link inside it.
std::vector<std::wstring> LinksIn(const std::wstring& logs) {
    if (kci::IsLink(logs)) return {logs};
    std::vector<std::wstring> links;
    FindLinksBelow(logs, links);
    return links;
}

// The one error message the user sees, the failing step shown again, and
// the Cancel button given back.
void ReportFailure(MSIHANDLE session, const std::wstring& failure) {
    const std::wstring message = kci::CatalogueText(session, kci::kTextLogRemovalError) + failure + L" \r\n\r\n" +
                                 kci::CatalogueText(session, kci::kTextLogRemovalAdvice);
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    MsiRecordSetStringW(record.Get(), 0, message.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ERROR, record.Get());
    // Shown a second time, after the message, as packages have always seen it
    // (held by RemoveLogs.FailedTargetPathSendsOneErrorShowsTextEighteenTwiceAndEnablesCancel).
    ShowActionStart(session, kci::CatalogueText(session, kci::kTextLogRemovalFailed));
    EnableCancel(session);
}

}  // namespace

// Type 1, immediate, on removal while INSTALLDIR still resolves. Deletes the
// files of "<INSTALLDIR>\Logs" and then the folder; a missing folder is only
// logged. If INSTALLDIR has no target path, shows one error message and the
// Cancel button again. Always returns 0.
extern "C" UINT __stdcall RemoveLogs(MSIHANDLE session) {
    return kci::RunAction(session, L"RemoveLogs", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering RemoveLogs");
        ShowActionStart(session, kci::CatalogueText(session, kci::kTextRemovingLogs));

        const kci::PropertyRead target = kci::ReadTargetPath(session, L"INSTALLDIR", kci::kPathChars);
        if (target.result != ERROR_SUCCESS) {
            LogMessage(session, L"MsiGetTargetPath of INSTALLDIR returned %d", static_cast<int>(target.result));
            ShowActionStart(session, kci::CatalogueText(session, kci::kTextLogRemovalFailed));
            ReportFailure(session, L"Could not locate ZephWin32 component");
            return ERROR_SUCCESS;
        }
        // The line names MsiGetProperty and another program, but packages look
        // for it as it is (held by RemoveLogs.DeletesTheLogsFolderOfTheInstallationDirectoryOnly).
        LogMessage(session, L"MsiGetProperty says ZephWin32.exe component path is [%s], len=%d", target.value,
                   static_cast<int>(target.length));

        const std::wstring directory = kci::InstallDirectoryForLogs(target.value);
        const std::wstring folder = directory + L"\\Logs";
        const std::vector<std::wstring> links = LinksIn(folder);
        for (const std::wstring& link : links) LogMessage(session, L"Link left in place: %s", link);
        // Through a link, the shell would delete whatever the link leads to.
        if (links.empty() || links.front() != folder) {
            const std::wstring files = directory + L"\\Logs\\*.*";
            LogMessage(session, L"Going to try removing log files: %s", files);
            DeleteLogPath(session, files, L"Deleting log file contents",
                          L"SHFileOperation to delete log files: [%s] returned %d", links.empty() ? 0 : FOF_FILESONLY);
        }
        if (links.empty()) {
            LogMessage(session, L"Going to try removing log file folder: %s", folder);
            DeleteLogPath(session, folder, L"Deleting log directory",
                          L"SHFileOperation to delete log folder: [%s] returned %d");
        } else {
            LogMessage(session, L"Log folder holds a link, kept: %s", folder);
        }

        LogMessage(session, L"Exiting RemoveLogs");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
