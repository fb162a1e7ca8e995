// The built library, loaded into the test runner, and its actions called by name.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

namespace harness {

class Session;

// Calls an exported action by name: of `library`, or of the built library.
UINT CallAction(HMODULE library, const char* name, MSIHANDLE handle);
UINT CallAction(const char* name, const Session& session);
UINT CallAction(const char* name, MSIHANDLE handle);

// The built library, loaded once for the whole run.
HMODULE Library();
// Folder of the test runner, where the build puts the library and helper programs.
std::wstring BuildFolder();

}  // namespace harness
