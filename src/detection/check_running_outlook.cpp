// CheckRunningOutlook: the mail client holds the add-in's files; where the
// click-to-call feature is (being) installed, so do the office programs and
// web browsers whose own add-in features are.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <array>

#include "detection/feature_state.h"
#include "detection/files_in_use.h"
#include "detection/process_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

namespace {

const kci::KnownApplications kMailClient = {&kci::FindOutlook};

// Applications looked for only where "ClicktoCall" and their own feature are
// local, in prompt order. One row, built by named field, as in
//   OptionalApplications().Feature(L"Firefox").Looking(L"Find Firefox").Finds({&FindFIREFOX})
struct OptionalApplications {
    const wchar_t* feature = nullptr;
    const wchar_t* lookingLine = nullptr;   // the feature is local
    const wchar_t* skippingLine = nullptr;  // it is not (null: no line)
    std::array<const Application*, 2> applications{};  // in prompt order; the unused place is null

    constexpr OptionalApplications Feature(const wchar_t* name) const {
        return WithField(*this, &OptionalApplications::feature, name);
    }
    constexpr OptionalApplications Looking(const wchar_t* line) const {
        return WithField(*this, &OptionalApplications::lookingLine, line);
    }
    constexpr OptionalApplications Skipping(const wchar_t* line) const {
        return WithField(*this, &OptionalApplications::skippingLine, line);
    }
    constexpr OptionalApplications Finds(std::array<const Application*, 2> found) const {
        return WithField(*this, &OptionalApplications::applications, found);
    }
    KnownApplications Applications() const {
        KnownApplications known;
        for (const Application* application : applications)
            if (application) known.push_back(application);
        return known;
    }
};

constexpr OptionalApplications kOptional[] = {
    OptionalApplications()
        .Feature(L"MSOffice")
        .Looking(L"Find Word and Excel")
        .Skipping(L"Not finding Word and Excel")
        .Finds({&kci::FindWORD, &kci::FindEXCEL}),
    OptionalApplications().Feature(L"Firefox").Looking(L"Find Firefox").Finds({&kci::FindFIREFOX}),
    OptionalApplications()
        .Feature(L"InternetExplorer")
        .Looking(L"Find Internet Explorer")
        .Skipping(L"Not finding Internet Explorer - not installed")
        .Finds({&kci::FindIE}),
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
            kci::FilesInUseList found = kci::RunningApplications(session, optional.Applications());
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
