// Deleting the product's "Logs" folder under the installation directory on
// removal, outright (no recycle bin).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shellapi.h>

#include <string>

#include "profiles/core/profile_paths.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/cancel_actions.h"
#include "runtime/catalogue.h"
#include "runtime/handles.h"
#include "runtime/log.h"

namespace {

constexpr DWORD kTargetPathChars = 260;

// One delete of the logs' pattern or folder; its result is only logged.
void DeleteLogPath(MSIHANDLE session, const std::wstring& path, const wchar_t* title, const wchar_t* resultLine) {
    if (auto result = kci::RunFileOperation(session, FO_DELETE, path, L"", kci::kDeleteListChars, title))
        LogMessage(session, resultLine, path, *result);
}

// The one error message the user sees, the failing step shown again, and
// the Cancel button given back.
void ReportFailure(MSIHANDLE session, const std::wstring& failure) {
    const std::wstring message = kci::CatalogueText(session, kci::kTextLogRemovalError) + failure + L" \r\n\r\n" +
                                 kci::CatalogueText(session, kci::kTextLogRemovalAdvice);
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    MsiRecordSetStringW(record.Get(), 0, message.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ERROR, record.Get());
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

        wchar_t targetPath[kTargetPathChars] = {};
        DWORD length = kTargetPathChars;
        const UINT found = MsiGetTargetPathW(session, L"INSTALLDIR", targetPath, &length);
        if (found != ERROR_SUCCESS) {
            LogMessage(session, L"MsiGetTargetPath of INSTALLDIR returned %d", found);
            ShowActionStart(session, kci::CatalogueText(session, kci::kTextLogRemovalFailed));
            ReportFailure(session, L"Could not locate ZephWin32 component");
            return ERROR_SUCCESS;
        }
        LogMessage(session, L"MsiGetProperty says ZephWin32.exe component path is [%s], len=%d", targetPath,
                   static_cast<int>(length));

        const std::wstring directory = kci::InstallDirectoryForLogs(targetPath);
        const std::wstring files = directory + L"\\Logs\\*.*";
        LogMessage(session, L"Going to try removing log files: %s", files);
        DeleteLogPath(session, files, L"Deleting log file contents", L"SHFileOperation to delete log files: [%s] returned %d");
        const std::wstring folder = directory + L"\\Logs";
        LogMessage(session, L"Going to try removing log file folder: %s", folder);
        DeleteLogPath(session, folder, L"Deleting log directory", L"SHFileOperation to delete log folder: [%s] returned %d");

        LogMessage(session, L"Exiting RemoveLogs");
        return ERROR_SUCCESS;
    });
}
