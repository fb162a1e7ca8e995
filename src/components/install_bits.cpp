// Installing the background transfer service's client where the machine
// lacks it, from the setup program the package places in AUTOUPDATE. The
// setup program never stays on disk.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>

#include "components/error_report.h"
#include "runtime/action_frame.h"
#include "runtime/action_value.h"
#include "runtime/core/command_line.h"
#include "runtime/core/text_limits.h"
#include "runtime/held_entry.h"
#include "runtime/log.h"
#include "runtime/process.h"
#include "runtime/registry.h"

namespace kci {

namespace {

constexpr wchar_t kSetupProgram[] = L"Bits_v15_Client_Setup.exe";

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

// Deleted as the log removal deletes a file: the folder held for traversal,
// the program opened without following a link and checked to be one plain
// file at its own path, then deleted through its handle. 0 when it went, -1
// when not, as the runtime's file removal this replaces gave.
int RemoveHeld(MSIHANDLE session, const std::wstring& folder, const std::wstring& setup) {
    // Held by its own name: without trailing separators, but a drive's root keeps its one.
    std::wstring name = folder;
    while (name.size() > 3 && name.back() == L'\\') name.pop_back();
    const kci::CopyFolder held = kci::HoldCopyFolder(name, L"", false);
    kci::HeldEntry program(kci::JoinPath(name, kSetupProgram), kci::HeldEntry::Use::Removal);
    const bool link = held.state == kci::CopyFolder::State::Link ||
                      (!program.OpenError() && (program.IsLink() || program.IsElsewhere() || program.HasOtherNames()));
    if (link) LogMessage(session, L"Link on the way, not deleted: %s", setup);
    if (link || held.state != kci::CopyFolder::State::Held || program.OpenError() || program.IsFolder()) return -1;
    return program.Delete(kci::HeldEntry::ReadOnly::GoesToo) == ERROR_SUCCESS ? 0 : -1;
}

void DeleteSetupProgram(MSIHANDLE session, const std::wstring& folder, const std::wstring& setup) {
    LogMessage(session, L"Delete of BITS install exe returned %d", RemoveHeld(session, folder, setup));
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
        const std::wstring setup = kci::JoinPath(*folder, kSetupProgram);
        if (BitsRegistered(session)) {
            LogMessage(session, L"Not installing BITS");
            DeleteSetupProgram(session, *folder, setup);
            return ERROR_SUCCESS;
        }
        const std::optional<DWORD> exitCode = RunProcessAndWait(session, kci::ProgramCommandLine(setup, L""));
        if (exitCode) LogMessage(session, L"Process returned 0x%lx", *exitCode);
        else ShowErrorReport(session, {L"Error installing Microsoft BITS\n"}, kci::LanguageOfRun(values.FromScript()));
        DeleteSetupProgram(session, *folder, setup);
        LogMessage(session, L"Exiting InstallBits");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
