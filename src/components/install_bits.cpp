// Installing the background transfer service's client where the machine
// lacks it, from the setup program the package places in AUTOUPDATE. The
// setup program never stays on disk.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <optional>
#include <string>

#include "components/error_report.h"
#include "runtime/action_frame.h"
#include "runtime/action_value.h"
#include "runtime/core/command_line.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/process.h"
#include "runtime/registry.h"

namespace kci {

namespace {

// The folder, or nothing when it cannot be read, is longer than kPathChars
// characters, or is empty or not absolute: the setup program would then be
// looked for below the current drive and folder.
std::optional<std::wstring> AutoUpdateFolder(kci::ActionValues& values) {
    std::optional<std::wstring> folder = values.Read(L"AUTOUPDATE", kPathChars, kci::ValueKind::Path).value;
    if (!folder || !kci::IsAbsolutePath(*folder)) return std::nullopt;
    return folder;
}

// Present when its AppID is registered as a string; any failure counts as absent.
bool BitsRegistered(MSIHANDLE session) {
    return kci::ReadLoggedString(session, HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", kPathChars).has_value();
}

void DeleteSetupProgram(MSIHANDLE session, const std::wstring& setup) {
    LogMessage(session, L"Delete of BITS install exe returned %d", _wremove(setup.c_str()));
}

}  // namespace

// Type 1, immediate, after InstallFinalize (the setup program is on disk by
// then): runs AUTOUPDATE's Bits_v15_Client_Setup.exe unless BITS is
// registered, and deletes it in either case. Returns 0, or 1603 when
// AUTOUPDATE cannot be read or is not an absolute folder. Also deferred as the
// system (type 3073, InstallBitsDeferred) after InstallFiles, with
// CustomActionData AUTOUPDATE|[AUTOUPDATE].
extern "C" UINT __stdcall InstallBits(MSIHANDLE session) {
    return kci::RunAction(session, L"InstallBits", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering InstallBits");
        kci::ActionValues values(session);
        const std::optional<std::wstring> folder = AutoUpdateFolder(values);
        if (!folder) {
            LogMessage(session, L"Can't access AUTOUPDATE");
            return ERROR_INSTALL_FAILURE;
        }
        const std::wstring setup = kci::JoinPath(*folder, L"Bits_v15_Client_Setup.exe");
        if (BitsRegistered(session)) {
            LogMessage(session, L"Not installing BITS");
            DeleteSetupProgram(session, setup);
            return ERROR_SUCCESS;
        }
        const std::optional<DWORD> exitCode = RunProcessAndWait(session, kci::ProgramCommandLine(setup, L""));
        if (exitCode) LogMessage(session, L"Process returned 0x%lx", *exitCode);
        else ShowErrorReport(session, {L"Error installing Microsoft BITS\n"}, kci::LanguageOfRun(values.FromScript()));
        DeleteSetupProgram(session, setup);
        LogMessage(session, L"Exiting InstallBits");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
