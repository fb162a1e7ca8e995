// Is a program running? Answered from the process list by executable image
// name, case ignored.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "detection/application.h"

namespace kci {

// The applications looked for by a fixed lookup, each with its own first
// log line.
extern const Application FindKORVI;
extern const Application FindDRAVO;
extern const Application FindFENWA;
extern const Application FindMOC;
extern const Application FindOutlook;
extern const Application FindWORD;
extern const Application FindEXCEL;
extern const Application FindFIREFOX;
extern const Application FindIE;

// True when the lookup's program runs. Logs its progress; never fails: a
// process list that cannot be read answers false (or leaves it to the window).
bool IsRunning(MSIHANDLE session, const Application& lookup);

// True when a process whose executable name equals `imageName` (A-Z case
// ignored) runs.
bool FindRunningProcessByName(MSIHANDLE session, const std::wstring& imageName);

}  // namespace kci
