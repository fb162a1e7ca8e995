// Reserving the product's HTTP URL namespaces for the built-in Users group,
// with netsh or with the older httpcfg.exe, and deleting them again; the
// package runs the pair that fits the platform. Each tool is waited for, at
// most 5 s, so that a rollback's delete never runs before the add it undoes.
// None reads what the tool reported. The reservations are shared by the
// maker's products: each adding run records its product, and the undo
// deletes them only when no other product needs them (runtime/product_records.h).
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/product_records.h"

namespace kci {

namespace {
// The shared change these actions make: its record's key under "...\KORVI\Shared".
constexpr wchar_t kUrlReservations[] = L"UrlReservations";
}  // namespace

// Type 3073, deferred as the system, after InstallFiles; reads ProductCode. Runs
// the system folder's netsh.exe "http add urlacl" once per port, each waited
// for up to 5 s, records that the product needs the reservations, and returns
// 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall netshOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshOperations");
        kci::ShellToolHost host(session);
        if (kci::ReserveUrlsWithNetsh(host, kci::SystemFolder()))
            kci::AddSharedReference(session, kci::kUrlReservations, L"netshOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073, deferred as the system, after InstallFiles. CustomActionData is
// the folder of httpcfg.exe, ending in a backslash. Runs "httpcfg.exe set
// urlacl" once per port, each waited for up to 5 s, and records that the
// product needs the reservations; or nothing when that folder is not
// absolute. Returns 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall httpcfgOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgOperations");
        kci::ShellToolHost host(session);
        // The folder is read as a path, half of a 520-character buffer, so
        // that the tool's name always fits behind it.
        if (kci::ReserveUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars)))
            kci::AddSharedReference(session, kci::kUrlReservations, L"httpcfgOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before netshOperations; reads ProductCode. Once no other product needs the
// reservations, runs the system folder's netsh.exe "http delete urlacl" once
// per port, each waited for up to 5 s. Returns 0 whatever the launches gave.
extern "C" UINT __stdcall netshUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshUndoOperations");
        kci::UndoSharedChange(session, kci::kUrlReservations, [&] {
            kci::ShellToolHost host(session);
            kci::ReleaseUrlsWithNetsh(host, kci::SystemFolder());
        });
        LogMessage(session, L"Exiting netshUndoOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before httpcfgOperations. CustomActionData is the folder of httpcfg.exe, as
// for httpcfgOperations, and ProductCode. Once no other product needs the
// reservations, runs "httpcfg.exe delete urlacl" once per port, each waited
// for up to 5 s, or nothing when that folder is not absolute. Returns 0
// whatever the launches gave.
extern "C" UINT __stdcall httpcfgUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgUndoOperations");
        kci::UndoSharedChange(session, kci::kUrlReservations, [&] {
            kci::ShellToolHost host(session);
            kci::ReleaseUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars));
        });
        LogMessage(session, L"Exiting httpcfgUndoOperations");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
