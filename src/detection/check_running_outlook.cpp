// CheckRunningOutlook: the mail client holds the add-in's files; where the
// click-to-call feature is (being) installed, so do the office programs and
// web browsers whose own add-in features are.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "detection/feature_state.h"
#include "detection/files_in_use.h"
#include "detection/process_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

namespace {

const kci::KnownApplications kMailClient = {&kci::FindOutlook};

// Applications looked for only where "ClicktoCall" and their own feature are
// local, in prompt order.
struct OptionalApplications {
    const wchar_t* feature;
    const wchar_t* lookingLine;   // the feature is local
    const wchar_t* skippingLine;  // it is not (null: no line)
    kci::KnownApplications applications;
};

const OptionalApplications kOptional[] = {
    {L"MSOffice", L"Find Word and Excel", L"Not finding Word and Excel",
     {&kci::FindWORD, &kci::FindEXCEL}},
    {L"Firefox", L"Find Firefox", nullptr, {&kci::FindFIREFOX}},
    {L"InternetExplorer", L"Find Internet Explorer", L"Not finding Internet Explorer - not installed", {&kci::FindIE}},
};

const kci::PromptTexts kTexts = kci::PromptTexts()
    .Count(L"records = %d", kci::CountOf::Fields)
    .Found(L"Found MS Outlook process running that need to be shut down")
    .Success(L"Exiting CheckRunningOutlook with success")
    .Cancel(L"Exiting CheckRunningOutlook - user hit cancel")
    .Ignore(L"CheckRunningOutlook - user hit IGNORE")
    .Retry(L"CheckRunningOutlook - user hit RETRY")
    .Error(L"CheckRunningOutlook - Error creating MSI process")
    .ErrorBox();

kci::FilesInUseList DetectMailClientAndAddInHosts(MSIHANDLE session) {
    kci::FilesInUseList running = kci::RunningApplications(session, kMailClient);

    kci::FeatureState state;
    if (state.Query(session, L"ClicktoCall") != ERROR_SUCCESS) {
        LogMessage(session, L"MsiGetFeatureStateW failed. pInstalled=%d pAction=%d", state.Installed(), state.Action());
        return running;
    }
    // Kept as spelt: packages search the log for this line (DetectOffice.WithoutClickToCallOnlyTheMailClient).
    LogMessage(session, L"MsiGetFeatureStateW succeded for ClicktoCall. pInstalled=%d pAction=%d", state.Installed(),
               state.Action());
    if (!state.IsLocal()) return running;

    for (const auto& optional : kOptional) {
        const std::optional<bool> local = state.QueryLogged(session, optional.feature);
        if (!local) continue;
        if (*local) {
            LogMessage(session, L"%s", optional.lookingLine);
            kci::FilesInUseList found = kci::RunningApplications(session, optional.applications);
            running.insert(running.end(), found.begin(), found.end());
        } else if (optional.skippingLine) {
            LogMessage(session, L"%s", optional.skippingLine);
        }
    }
    return running;
}

}  // namespace

// Type 1, immediate, before InstallValidate/InstallFiles: asks the user to
// close the mail client and, with click-to-call, the office programs and
// browsers whose add-ins the package installs or removes; 0 when none runs,
// 1602 on Cancel, when the prompt cannot be shown, or when a silent install
// cannot proceed.
extern "C" UINT __stdcall CheckRunningOutlook(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckRunningOutlook", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CheckRunningOutlook");
        return kci::CheckFilesInUse(session, kTexts, [session] { return DetectMailClientAndAddInHosts(session); });
    });
}

}  // namespace kci
