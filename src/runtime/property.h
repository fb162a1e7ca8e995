// Reading installer properties and target paths into the fixed buffers the
// actions use.
#pragma once

#include <windows.h>
#include <msi.h>

#include "runtime/core/property_read.h"

namespace kci {

// Reads property `name` into a cleared buffer with room for `textChars`
// characters and the terminator; a longer value fails with ERROR_MORE_DATA
// and is never read again with more room.
PropertyRead ReadProperty(MSIHANDLE session, const wchar_t* name, DWORD textChars);

// Reads the target path of directory `name` the same way.
PropertyRead ReadTargetPath(MSIHANDLE session, const wchar_t* name, DWORD textChars);

// Sets property `name`; a refused set is logged ("MsiSetProperty failed for
// <name>: <result>"), since a later action would read the old value unawares.
void SetProperty(MSIHANDLE session, const wchar_t* name, const wchar_t* value);

// True when the installer runs the action from its script: deferred, rollback
// or commit. Such an action reads its values from CustomActionData, and on
// Windows may not ask the session for anything else.
bool RunsFromScript(MSIHANDLE session);

// True when the installer runs the action as a commit row: once the whole
// script has succeeded, with nothing left to roll back.
bool RunsAtCommit(MSIHANDLE session);

}  // namespace kci
