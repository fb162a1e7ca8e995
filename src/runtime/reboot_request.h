// A reboot at the end of the installation, asked for by an action.
//
// Windows lets an action that runs from the installer's script call only a
// few installer functions; MsiSetMode is not one of them, and its reboot
// request is lost there. Such an action also records the request in the
// volatile key "SOFTWARE\Tenvor Systems, Inc.\KORVI\RebootPending" under
// HKEY_LOCAL_MACHINE (a REG_SZ value named by its product code, holding the
// action's name), which RequestRecordedReboot, an immediate action after
// InstallFinalize, turns into the installer's request. A volatile key goes at
// the next restart by itself.
#pragma once

#include <windows.h>
#include <msi.h>

namespace kci {

// Asks for a reboot at the end on behalf of `action`: MsiSetMode(REBOOTATEND),
// and from the script the record as well ("Reboot request recorded for %s").
// A commit action cannot read ProductCode on Windows and records nothing.
// Outside the script a refused MsiSetMode logs "MsiSetMode(REBOOTATEND)
// returned %u".
void RequestRebootAtEnd(MSIHANDLE session, const wchar_t* action);

// The running product's recorded request, read with read access only and
// turned into the installer's: "A deferred action asked for a reboot: %s", or
// "No reboot asked for". Then the record, and its key and parents left empty,
// go; a refused delete ("%s returned %lu") leaves the volatile record to the
// restart it asks for.
void TakeRecordedReboot(MSIHANDLE session);

}  // namespace kci
