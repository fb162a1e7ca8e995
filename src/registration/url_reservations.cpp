// Reserving the product's HTTP URL namespaces for the built-in Users group,
// with netsh or with the older httpcfg.exe, and deleting them again; the
// package runs the pair that fits the platform. Each tool is waited for, at
// most 5 s, so that a rollback's delete never runs before the add it undoes.
// None reads what the tool reported.
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"

namespace kci {

// Type 3073, deferred as the system, after InstallFiles; reads nothing. Runs
// the system folder's netsh.exe "http add urlacl" once per port, each waited
// for up to 5 s, and returns 0 whatever the launches gave. Writes no exit
// line.
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
// urlacl" once per port, each waited for up to 5 s, or nothing when that
// folder is not absolute, and returns 0 whatever the launches gave. Writes no
// exit line.
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

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before netshOperations; reads nothing. Runs the system folder's netsh.exe
// "http delete urlacl" once per port, each waited for up to 5 s, and returns
// 0 whatever the launches gave.
extern "C" UINT __stdcall netshUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshUndoOperations");
        kci::ShellToolHost host(session);
        kci::ReleaseUrlsWithNetsh(host, kci::SystemFolder());
        LogMessage(session, L"Exiting netshUndoOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before httpcfgOperations. CustomActionData is the folder of httpcfg.exe, as
// for httpcfgOperations. Runs "httpcfg.exe delete urlacl" once per port, each
// waited for up to 5 s, or nothing when that folder is not absolute, and
// returns 0 whatever the launches gave.
extern "C" UINT __stdcall httpcfgUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgUndoOperations");
        kci::ShellToolHost host(session);
        kci::ReleaseUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars));
        LogMessage(session, L"Exiting httpcfgUndoOperations");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
