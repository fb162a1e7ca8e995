// The number of problems the product's precertification program found on
// this machine, handed to the installer as the action's result.
#include <windows.h>
#include <msi.h>

#include "probes/core/failure_count.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/registry.h"

namespace kci {

// Type 1, immediate, early in the install sequence (not on removal), its
// result checked: returns the precertification program's FailureCount, which
// the installer takes as a failure when it is not 0; a count the installer
// would read as success or a cancel is returned as 1603 instead. A machine
// the program never ran on has no count and passes; a count that is there but
// cannot be read fails with 1603.
extern "C" UINT __stdcall PrecertificationFailureCount(MSIHANDLE session) {
    return kci::RunAction(session, L"PrecertificationFailureCount", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering PrecertificationFailureCount");
        LSTATUS failure = ERROR_SUCCESS;
        const std::optional<std::wstring> count = kci::ReadLoggedString(
            session, HKEY_LOCAL_MACHINE, L"Software\\Tenvor Systems, Inc.\\Tenvor Pelago\\Precertification",
            L"FailureCount", kci::kPathChars, &failure);
        if (failure != ERROR_SUCCESS && failure != ERROR_FILE_NOT_FOUND) {
            LogMessage(session, L"FailureCount cannot be read, returning 1603");
            return static_cast<UINT>(ERROR_INSTALL_FAILURE);
        }
        if (count && *count != L"0") {
            // Kept: the count itself is the result, so the installer's log shows it
            // (PrecertificationFailureCount.ReturnsTheCountStoredAsText holds it).
            const int failures = kci::FailureCountFromText(*count);
            const int result = kci::ResultForFailureCount(failures);
            if (result != failures)
                LogMessage(session, L"FailureCount %d would read as success or cancel, returning 1603", failures);
            return static_cast<UINT>(result);
        }
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (PrecertificationFailureCount.ReturnsTheCountStoredAsText).
        LogMessage(session, L"Leaving PrecertificationFailureCount");
        return static_cast<UINT>(ERROR_SUCCESS);
    });
}

}  // namespace kci
