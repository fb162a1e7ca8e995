#include "components/component_action.h"

#include <msiquery.h>

#include "components/core/rtmx_folder.h"
#include "components/error_report.h"
#include "runtime/catalogue.h"
#include "runtime/custom_action_data.h"
#include "runtime/log.h"
#include "runtime/process.h"
#include "runtime/property.h"
#include "runtime/reboot_request.h"

namespace kci {
namespace {

TextLanguage LanguageOf(const ComponentAction& action) {
    return action.Deferred() ? TextLanguage::Default : TextLanguage::Package;
}

// Appends `text` to the run's list and ends the run with it.
[[noreturn]] void Report(kci::ErrorList& errors, const std::wstring& text) {
    errors.push_back(text);
    throw errors;
}

// The program's whole path, from the action's CustomActionData. An absent key
// gives the empty path, so the command line is the switch alone and fails to
// start.
std::wstring ProgramFromCustomActionData(MSIHANDLE session, const ComponentAction& action, kci::ErrorList& errors) {
    NameValueMap data;
    try {
        data = ParseCustomActionData(session);
    } catch (const stp::exstring& malformed) {
        Report(errors, malformed);
    }
    return data[action.sourceName];
}

// The folder the program lies in, from a directory's target path or a property.
std::wstring ProgramFolder(MSIHANDLE session, const ComponentAction& action, kci::ErrorList& errors) {
    const bool directory = action.source == ProgramSource::DirectoryTargetPath;
    const wchar_t* reader = directory ? L"MsiGetTargetPath" : L"MsiGetProperty";
    // A target path is a path read; the folder property takes one character
    // more, the longest folder SetRtmxPath sets.
    const PropertyRead folder = directory ? ReadTargetPath(session, action.sourceName, kPathChars)
                                          : ReadProperty(session, action.sourceName, kRtmxFolderChars);
    if (folder.result != ERROR_SUCCESS) {
        LogMessage(session, L"%s of %s returned %d", reader, action.sourceName, static_cast<int>(folder.result));
        Report(errors, CatalogueText(session, action.missingFolderText, LanguageOf(action)));
    }
    LogMessage(session, L"%s says %s is [%s]", reader, action.sourceName, folder.value);
    return folder.value;
}

void ApplyExitCode(MSIHANDLE session, const ComponentAction& action, DWORD exitCode, kci::ErrorList& errors) {
    const ExitCodeOutcome outcome = InterpretExitCode(action.exitCodes, exitCode);
    if (outcome.note) LogMessage(session, L"%s", outcome.note);
    for (unsigned text : outcome.failureTexts) errors.push_back(CatalogueText(session, text, LanguageOf(action)));
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
    kci::ErrorList errors;
    try {
        const std::wstring found = action.Deferred() ? ProgramFromCustomActionData(session, action, errors)
                                                     : ProgramFolder(session, action, errors);
        const std::wstring commandLine = ComponentCommandLine(action, found);
        const std::wstring startFailureText = CatalogueText(session, action.startFailureText, LanguageOf(action));
        const DWORD exitCode = RunProcessAndWait(session, commandLine, startFailureText);
        LogMessage(session, L"Process returned 0x%lx", exitCode);
        ApplyExitCode(session, action, exitCode, errors);
    } catch (const kci::ErrorList& caught) {
        ShowErrorReport(session, caught, LanguageOf(action));
    }
    LogMessage(session, L"Exiting %s", action.name);
    return ERROR_SUCCESS;
}

}  // namespace kci
