// CheckRunningC2CApps: the click-to-call add-ins live inside two web
// browsers and four office applications. Each application whose add-in
// feature is (being) installed locally is looked for through WMI, and the
// user is asked to close those that run. Unlike the other checks, this one
// reads the installer's UI level every tenth try and ends an installation
// without user interface there.
#include <vector>

#include "detection/core/image_name.h"
#include "detection/core/try_limit.h"
#include "detection/feature_state.h"
#include "detection/files_in_use.h"
#include "detection/wmi_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

namespace {

// One application of the table: its feature, the image name looked for
// through WMI and shown in the prompt, and the display name beside it.
using C2CAppEntry = kci::Application;

// In the order of the feature pass, the lookups and the prompt.
const C2CAppEntry kApplications[] = {
    C2CAppEntry().Feature(L"Firefox").Image(L"firefox.exe").Shown(kci::kTextFirefox),
    C2CAppEntry().Feature(L"InternetExplorer").Image(L"iexplore.exe").Shown(kci::kTextInternetExplorer),
    C2CAppEntry().Feature(L"Outlook").Image(L"OUTLOOK.EXE").Shown(kci::kTextOutlook),
    C2CAppEntry().Feature(L"Excel").Image(L"EXCEL.EXE").Shown(kci::kTextExcel),
    C2CAppEntry().Feature(L"PowerPoint").Image(L"POWERPNT.EXE").Shown(kci::kTextPowerPoint),
    C2CAppEntry().Feature(L"Word").Image(L"WINWORD.EXE").Shown(kci::kTextWord),
};
using LookedFor = std::vector<const C2CAppEntry*>;

const kci::PromptTexts kTexts = kci::kCheckRunningAppsAnswers
    .Count(L"Number of applications to close is %d", kci::CountOf::Applications);

// The rows whose feature is local, in table order; asked once per call.
LookedFor LocalFeatures(MSIHANDLE session) {
    LookedFor lookFor;
    kci::FeatureState state;
    for (const C2CAppEntry& entry : kApplications) {
        const std::optional<bool> local = state.QueryLogged(session, entry.feature);
        if (!local) continue;
        if (*local) {
            LogMessage(session, L"Find %s", entry.imageName);
            lookFor.push_back(&entry);
        } else {
            LogMessage(session, L"No need to find the process %s", entry.imageName);
        }
    }
    return lookFor;
}

kci::FilesInUseList RunningC2CApplications(MSIHANDLE session, const LookedFor& lookFor) {
    kci::FilesInUseList running;
    for (const C2CAppEntry* entry : lookFor) {
        if (!FindRunningProcessByNameWMI(session, entry->imageName)) continue;
        running.push_back({entry->imageName, kci::CatalogueText(session, entry->displayName)});
        LogMessage(session, L"Application to be closed: %s", running.back().displayName);
    }
    return running;
}

kci::PropertyRead ReadUiLevel(MSIHANDLE session) { return kci::ReadProperty(session, L"UILevel", kci::kPathChars); }

UINT ProcessAppsToFileInUseWin(MSIHANDLE session) {
    LogMessage(session, L"ProcessAppsToFileInUseWin In.");
    const LookedFor lookFor = LocalFeatures(session);

    kci::TryLimit limit;
    const kci::TryCheck checkLimit = [&]() -> std::optional<unsigned> {
        if (!limit.StartTry()) return std::nullopt;
        kci::TryLimitOutcome outcome = limit.AtLimit(ReadUiLevel(session));
        for (const auto& line : outcome.lines) LogMessage(session, L"%s", line);
        return outcome.result;
    };
    return kci::CheckFilesInUse(
        session, kTexts, [&] { return std::optional(RunningC2CApplications(session, lookFor)); }, checkLimit);
}

}  // namespace

// Type 1, immediate, before InstallValidate/InstallFiles: asks the user to
// close the browsers and office applications whose click-to-call add-in
// features are local; 0 when none runs, 1602 on Cancel, when the prompt
// cannot be shown, or when an installation without user interface reaches
// the try limit.
extern "C" UINT __stdcall CheckRunningC2CApps(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckRunningC2CApps", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CheckRunningC2CApps");
        ShowActionStart(session, kci::CatalogueText(session, kci::kTextCheckingProcesses));
        const UINT result = ProcessAppsToFileInUseWin(session);
        LogMessage(session, L"Exiting CheckRunningC2CApps");
        return result;
    });
}

}  // namespace kci
