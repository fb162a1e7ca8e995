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
#include "runtime/log.h"
#include "runtime/property.h"

namespace {

struct C2CAppEntry {
    const wchar_t* feature;
    bool lookFor = false;
    const wchar_t* imageName;  // searched through WMI and shown in the prompt
    std::wstring displayName;
};

struct C2CApplication {
    const wchar_t* feature;
    const wchar_t* imageName;
    kci::TextId displayName;
};

// In the order of the feature pass, the lookups and the prompt.
const C2CApplication kApplications[] = {
    {L"Firefox", L"firefox.exe", kci::kTextFirefox},
    {L"InternetExplorer", L"iexplore.exe", kci::kTextInternetExplorer},
    {L"Outlook", L"OUTLOOK.EXE", kci::kTextOutlook},
    {L"Excel", L"EXCEL.EXE", kci::kTextExcel},
    {L"PowerPoint", L"POWERPNT.EXE", kci::kTextPowerPoint},
    {L"Word", L"WINWORD.EXE", kci::kTextWord},
};

const kci::PromptTexts kTexts = {
    L"Number of applications to close is %d", kci::CountOf::Applications,
    nullptr,
    nullptr,
    L"Exiting CheckRunningApps - user hit cancel",
    L"CheckRunningApps - user hit IGNORE",
    L"CheckRunningApps - user hit RETRY",
    L"CheckRunningApps - Error creating MSI process",
    false,
};

constexpr DWORD kUiLevelChars = MAX_PATH;

std::vector<C2CAppEntry> BuildC2CTable(MSIHANDLE session) {
    std::vector<C2CAppEntry> table;
    for (const auto& application : kApplications)
        table.push_back({application.feature, false, application.imageName,
                         kci::CatalogueText(session, application.displayName)});
    return table;
}

// Marks the rows whose feature is local; asked once per call.
void MarkLocalFeatures(MSIHANDLE session, std::vector<C2CAppEntry>& table) {
    kci::FeatureState state;
    for (auto& entry : table) {
        const std::optional<bool> local = state.QueryLogged(session, entry.feature);
        if (!local) continue;
        if (*local) {
            LogMessage(session, L"Find %s", entry.imageName);
            entry.lookFor = true;
        } else {
            LogMessage(session, L"No need to find the process %s", entry.imageName);
        }
    }
}

kci::FilesInUseList RunningC2CApplications(MSIHANDLE session, const std::vector<C2CAppEntry>& table) {
    kci::FilesInUseList running;
    for (const auto& entry : table) {
        if (!entry.lookFor || !FindRunningProcessByNameWMI(session, entry.imageName)) continue;
        running.push_back({entry.imageName, entry.displayName});
        LogMessage(session, L"Application to be closed: %s", entry.displayName);
    }
    return running;
}

kci::PropertyRead ReadUiLevel(MSIHANDLE session) { return kci::ReadProperty(session, L"UILevel", kUiLevelChars); }

UINT ProcessAppsToFileInUseWin(MSIHANDLE session, std::vector<C2CAppEntry>& table) {
    LogMessage(session, L"ProcessAppsToFileInUseWin In.");
    MarkLocalFeatures(session, table);

    kci::TryLimit limit;
    const kci::TryCheck checkLimit = [&]() -> std::optional<unsigned> {
        if (!limit.StartTry()) return std::nullopt;
        kci::TryLimitOutcome outcome = limit.AtLimit(ReadUiLevel(session));
        for (const auto& line : outcome.lines) LogMessage(session, L"%s", line);
        return outcome.result;
    };
    return kci::CheckFilesInUse(
        session, kTexts, [&] { return std::optional(RunningC2CApplications(session, table)); }, checkLimit);
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
        std::vector<C2CAppEntry> table = BuildC2CTable(session);
        const UINT result = ProcessAppsToFileInUseWin(session, table);
        LogMessage(session, L"Exiting CheckRunningC2CApps");
        return result;
    });
}
