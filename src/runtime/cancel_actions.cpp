// The Cancel button and the smallest possible installer message.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "runtime/action_frame.h"
#include "runtime/handles.h"
#include "runtime/log.h"

namespace kci {

namespace {

// Common-data field 1 = 2 selects the Cancel button; field 2 hides (0) or shows (1) it.
UINT SetCancelButton(MSIHANDLE session, const wchar_t* action, int visible) {
    LogMessage(session, L"Entering %s", action);
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    MsiRecordSetInteger(record.Get(), 1, 2);
    MsiRecordSetInteger(record.Get(), 2, visible);
    MsiProcessMessage(session, INSTALLMESSAGE_COMMONDATA, record.Get());
    LogMessage(session, L"Exiting %s", action);
    return ERROR_SUCCESS;
}

}  // namespace

// Type 1, immediate: hides the progress dialog's Cancel button, for example
// before a step that must not be interrupted.
extern "C" UINT __stdcall DisableCancel(MSIHANDLE session) {
    return kci::RunAction(session, L"DisableCancel", kci::ModuleContext::Open,
                          [&] { return SetCancelButton(session, L"DisableCancel", 0); });
}

// Type 1, immediate: shows the Cancel button again.
extern "C" UINT __stdcall EnableCancel(MSIHANDLE session) {
    return kci::RunAction(session, L"EnableCancel", kci::ModuleContext::Open,
                          [&] { return SetCancelButton(session, L"EnableCancel", 1); });
}

// Type 1, immediate: a plain OK message through the installer, to check that
// a package reaches the library at all. Logs nothing.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall TestMessage(MSIHANDLE session) {
    return kci::RunAction(session, L"TestMessage", kci::ModuleContext::None, [&] {
        ShowUserMessage(session, L"hey dude", 0);
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
