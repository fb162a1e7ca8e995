// Is a program running? Answered from the process list by executable image
// name, case ignored.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

namespace kci {

// A lookup with a fixed target and a log line of its own.
struct FixedLookup {
    const wchar_t* entryLine;
    const wchar_t* imageName;
    // The older product may run under another executable name; its main
    // window title "Meridia" also counts as running.
    bool windowFallback;
};

extern const FixedLookup FindKORVI;
extern const FixedLookup FindDRAVO;
extern const FixedLookup FindFENWA;
extern const FixedLookup FindMOC;
extern const FixedLookup FindOutlook;
extern const FixedLookup FindWORD;
extern const FixedLookup FindEXCEL;
extern const FixedLookup FindFIREFOX;
extern const FixedLookup FindIE;

// True when the lookup's program runs. Logs its progress; never fails: a
// process list that cannot be read answers false (or leaves it to the window).
bool IsRunning(MSIHANDLE session, const FixedLookup& lookup);

}  // namespace kci

// True when a process whose executable name equals `imageName` (A-Z case
// ignored) runs.
bool FindRunningProcessByName(MSIHANDLE session, const std::wstring& imageName);
