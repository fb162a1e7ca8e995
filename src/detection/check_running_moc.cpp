// CheckRunningMOC: the office messenger holds the files of the messenger
// integration.
#include "detection/files_in_use.h"
#include "detection/process_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

namespace {

const kci::KnownApplications kMessenger = {&kci::FindMOC};

const kci::PromptTexts kTexts = kci::PromptTexts()
    .Count(L"records = %d", kci::CountOf::Fields)
    .Found(L"Found MS Office Communicator process running that need to be shut down")
    .Success(L"Exiting CheckRunningMOC with success")
    .Cancel(L"Exiting CheckRunningMOC - user hit cancel")
    .Ignore(L"CheckRunningMOC - user hit IGNORE")
    .Retry(L"CheckRunningMOC - user hit RETRY")
    .Error(L"CheckRunningMOC - Error creating MSI process")
    .ErrorBox();

}  // namespace

// Type 1, immediate, before InstallValidate/InstallFiles: asks the user to
// close the office messenger; 0 when it does not run, 1602 on Cancel, when
// the prompt cannot be shown, or when a silent install cannot proceed.
extern "C" UINT __stdcall CheckRunningMOC(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckRunningMOC", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CheckRunningMOC");
        return kci::CheckFilesInUse(session, kTexts, [session] { return kci::RunningApplications(session, kMessenger); });
    });
}

}  // namespace kci
