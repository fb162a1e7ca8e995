// CheckRunningApps: the product's own programs must be closed before their
// files are replaced.
#include "detection/files_in_use.h"
#include "detection/process_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

namespace {

// In prompt order: the softphone, the newer product, the older product.
const kci::KnownApplications kProducts = {&kci::FindFENWA, &kci::FindDRAVO, &kci::FindKORVI};

const kci::PromptTexts kTexts = kci::kCheckRunningAppsAnswers
    .Found(L"Found Running applications that need to be shut down")
    .Success(L"Exiting CheckRunningApps with success")
    .ErrorBox();

}  // namespace

// Type 1, immediate, before InstallValidate/InstallFiles: asks the user to
// close the running product applications; 0 when none runs, 1602 on Cancel,
// when the prompt cannot be shown, or when a silent install cannot proceed.
extern "C" UINT __stdcall CheckRunningApps(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckRunningApps", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CheckRunningApps");
        return kci::CheckFilesInUse(session, kTexts, [session] { return kci::RunningApplications(session, kProducts); });
    });
}

}  // namespace kci
