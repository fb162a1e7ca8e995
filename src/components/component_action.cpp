#include "components/component_action.h"

#include <msiquery.h>

#include <optional>

#include "components/core/rtmx_folder.h"
#include "components/error_report.h"
#include "runtime/action_value.h"
#include "runtime/catalogue.h"
#include "runtime/custom_action_data.h"
#include "runtime/log.h"
#include "runtime/process.h"
#include "runtime/property.h"
#include "runtime/reboot_request.h"

namespace kci {
namespace {

// Appends `text` to the run's list and ends the run with it.
[[noreturn]] void Report(kci::ErrorList& errors, const std::wstring& text) {
    errors.push_back(text);
    throw errors;
}

// The program's whole path, from the action's CustomActionData. An absent key
// gives the empty path, so the command line is the switch alone and fails to
// start; a repeated key gives its first value (CustomActionData.RepeatedNameKeepsItsFirstValue).
std::wstring ProgramFromCustomActionData(MSIHANDLE session, const ComponentAction& action, kci::ErrorList& errors) {
    std::wstring failure;
    const std::optional<NamedValues> data = ParseCustomActionData(session, &failure);
    if (!data) Report(errors, failure);
    return FirstValues(*data)[action.sourceName];
}

// The longest folder a read takes: a target path is a path read; the folder
// property takes one character more, the longest folder SetRtmxPath sets.
DWORD FolderChars(const ComponentAction& action) {
    return action.source == ProgramSource::DirectoryTargetPath ? kPathChars : kRtmxFolderChars;
}

// The folder the program lies in: a directory's target path or a property, or
// in the script form the value CustomActionData gives under its name.
std::wstring ProgramFolder(MSIHANDLE session, const ComponentAction& action, kci::ErrorList& errors) {
    const bool directory = action.source == ProgramSource::DirectoryTargetPath;
    ActionValues values(session);
    const ActionValue folder = values.Read(action.sourceName, FolderChars(action), ValueKind::Path,
                                           directory ? SessionValue::TargetPath : SessionValue::Property);
    const wchar_t* reader = directory ? L"MsiGetTargetPath" : L"MsiGetProperty";
    if (!folder.value) {
        if (!values.FromScript())
            LogMessage(session, L"%s of %s returned %d", reader, action.sourceName, static_cast<int>(folder.result));
        Report(errors, CatalogueText(session, action.missingFolderText, LanguageOfRun(values.FromScript())));
    }
    if (!values.FromScript()) LogMessage(session, L"%s says %s is [%s]", reader, action.sourceName, *folder.value);
    return *folder.value;
}

// What the action's program is found from: its whole path for an install
// action; for an uninstall action, its folder, in the form the installer runs it.
std::wstring FoundProgram(MSIHANDLE session, const ComponentAction& action, kci::ErrorList& errors) {
    if (action.Deferred()) return ProgramFromCustomActionData(session, action, errors);
    return ProgramFolder(session, action, errors);
}

void ApplyExitCode(MSIHANDLE session, const ComponentAction& action, DWORD exitCode, TextLanguage language,
                   kci::ErrorList& errors) {
    const ExitCodeOutcome outcome = InterpretExitCode(action.exitCodes, exitCode);
    if (outcome.note) LogMessage(session, L"%s", outcome.note);
    for (unsigned text : outcome.failureTexts) errors.push_back(CatalogueText(session, text, language));
    // The reboot is asked for before the report is shown.
    if (outcome.reboot) {
        if (action.rebootLine) LogMessage(session, L"%s", action.rebootLine);
        RequestRebootAtEnd(session, action.name);
    }
    if (!errors.empty()) throw errors;
}

}  // namespace

UINT RunComponentAction(MSIHANDLE session, const ComponentAction& action) {
    LogMessage(session, L"Entering %s", action.name);
    // The uninstall actions run from the installer's script too (deferred,
    // rollback or commit rows), where they read CustomActionData instead.
    const bool fromScript = action.Deferred() || RunsFromScript(session);
    const TextLanguage language = LanguageOfRun(fromScript);
    kci::ErrorList errors;
    try {
        const std::wstring found = FoundProgram(session, action, errors);
        const std::wstring commandLine = ComponentCommandLine(action, found);
        const std::wstring startFailureText = CatalogueText(session, action.startFailureText, language);
        const std::optional<DWORD> exitCode = RunProcessAndWait(session, commandLine);
        if (!exitCode) Report(errors, startFailureText);
        LogMessage(session, L"Process returned 0x%lx", *exitCode);
        ApplyExitCode(session, action, *exitCode, language, errors);
    } catch (const kci::ErrorList& caught) {
        ShowErrorReport(session, caught, language);
    }
    LogMessage(session, L"Exiting %s", action.name);
    return ERROR_SUCCESS;
}

}  // namespace kci
