// Running an action as the installer runs it from its script. An in-process
// session (MsiOpenPackage) cannot be put in a script's mode: MsiSetMode
// refuses deferred, rollback and commit with 5. So the library's MsiGetMode
// import is answered instead, the way the fault sweep patches its imports.
// In a script mode the answer also keeps the script's limits, as Windows
// does and Wine does not: MsiSetMode, MsiGetTargetPath, MsiSetProperty and
// MsiGetFeatureState are refused, and MsiGetProperty reads empty for every
// property but CustomActionData, ProductCode (not in a commit form) and UserSID.
//
//   harness::AnswerRunMode(library);
//   harness::SetRunMode(harness::RunMode::Commit);  call the action;  SetRunMode(RunMode::Immediate)
#pragma once

#include <windows.h>

namespace harness {

// What the answered MsiGetMode says, as Wine's msiexec does for each kind of
// row: a deferred row is SCHEDULED, a rollback row SCHEDULED and ROLLBACK, a
// commit row SCHEDULED and COMMIT. Immediate asks the installer itself.
enum class RunMode { Immediate, Deferred, Rollback, Commit };

// Points `library`'s MsiGetMode import, and the imports the script's limits
// reach, at the answer; once per library. Any
// other patch of the import table goes over it (so that the import's callers
// are still the library's code).
void AnswerRunMode(HMODULE library);
void SetRunMode(RunMode mode);

}  // namespace harness
