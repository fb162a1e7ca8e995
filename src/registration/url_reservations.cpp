// Reserving the product's HTTP URL namespaces for the built-in Users group,
// with netsh or with the older httpcfg.exe; the package runs the one that
// fits the platform. Neither waits for its tool or reads what it reported.
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"

namespace kci {

// Type 3073, deferred as the system, after InstallFiles; reads nothing. Runs
// the system folder's netsh.exe "http add urlacl" once per port and returns
// 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall netshOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshOperations");
        kci::ShellToolHost host(session);
        kci::ReserveUrlsWithNetsh(host, kci::SystemFolder());
        return ERROR_SUCCESS;
    });
}

// Type 3073, deferred as the system, after InstallFiles. CustomActionData is
// the folder of httpcfg.exe, ending in a backslash. Runs "httpcfg.exe set
// urlacl" once per port, or nothing when that folder is not absolute, and
// returns 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall httpcfgOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgOperations");
        kci::ShellToolHost host(session);
        // The folder is read as a path, half of a 520-character buffer, so
        // that the tool's name always fits behind it.
        kci::ReserveUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars));
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
