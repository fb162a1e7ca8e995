// Is a program running? Answered by the platform's management service, WMI,
// from its Win32_Process class.
#pragma once

#include <windows.h>
#include <msi.h>
#include <wbemidl.h>

#include <string>

#include "runtime/com.h"

namespace kci {

// Everything one query holds, released in reverse order when it goes: the
// result rows, the connection, the locator, and last the thread's COM
// initialisation, so that a lookup leaves COM on the installer's thread as
// it found it.
struct WmiQuery {
    ComInitialization com;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IEnumWbemClassObject> rows;
};

// Runs one WQL query in ROOT\CIMV2; 0 with the rows in `query`, or
// ERROR_INSTALL_FAILURE after logging the step that failed.
UINT WMIquery(MSIHANDLE session, const std::wstring& text, WmiQuery& query);

// True when WMI lists a process whose name is `imageName` (A-Z case
// ignored). When the query cannot run, the process list answers instead.
bool FindRunningProcessByNameWMI(MSIHANDLE session, const std::wstring& imageName);

}  // namespace kci
