// The product's version in the short form the product shows: 2.1.2003 is
// shown as 2.1(2.3).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "probes/core/version_text.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

// Type 1, immediate, after CostFinalize, before anything shows or stores the
// version: sets PDisplayableVersion from ProductVersion. Returns 0.
extern "C" UINT __stdcall CreateDisplayableVersion(MSIHANDLE session) {
    return kci::RunAction(session, L"CreateDisplayableVersion", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CreateDisplayableVersion");
        // The read's result is not looked at: an empty value scans no numbers.
        const std::wstring version = kci::ReadProperty(session, L"ProductVersion", kci::kProductPropertyChars).value;
        LogMessage(session, L"CreateDisplayableVersion: current version = %s", version);
        const kci::ScannedVersion scanned = kci::ScanVersion(version);
        // Kept, "sscanf" though none runs: packages search for it
        // (CreateDisplayableVersion.SetsTheShortFormAndLogsTheFieldsRead).
        LogMessage(session, L"sscanf returned result = %d, major=%d, minor=%d, build=%d", scanned.fields,
                   scanned.major, scanned.minor, scanned.build);
        kci::SetProperty(session, L"PDisplayableVersion", kci::DisplayableVersion(scanned).c_str());
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (CreateDisplayableVersion.SetsTheShortFormAndLogsTheFieldsRead).
        LogMessage(session, L"Leaving CreateDisplayableVersion");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
