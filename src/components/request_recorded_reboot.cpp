// The reboot that an action from the installer's script asked for, passed on
// to the installer, which on Windows ignores a request made from the script
// (runtime/reboot_request.h).
#include <windows.h>
#include <msi.h>

#include "runtime/action_frame.h"
#include "runtime/reboot_request.h"

namespace kci {

// Type 65, immediate, Return="ignore", after InstallFinalize, in every
// installation and removal that runs a component action; reads ProductCode.
// Asks for the reboot at the end that a deferred action of this product
// recorded, and deletes the record. Returns 0 on every path.
extern "C" UINT __stdcall RequestRecordedReboot(MSIHANDLE session) {
    return kci::RunAction(session, L"RequestRecordedReboot", kci::ModuleContext::Open, [&] {
        kci::TakeRecordedReboot(session);
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
