// Running a component's own installer program and waiting for it.
#pragma once

#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>

namespace kci {

// What RunProcessAndWait returns when the program ran but its exit code
// cannot be read. It is neither 0 (success) nor 3 (reboot), and every exit
// code rule of the component actions reads it as a failure: above 3, not 0,
// and with every failure bit set.
inline constexpr DWORD kExitCodeUnreadable = 0xFFFFFFFF;

// How often a wait for a program says that the program still runs.
inline constexpr DWORD kStillRunningReportMs = 30000;

// Waits for `process` to end, however long it takes; every `reportEveryMs`
// until then logs "<program> still running after <ms> ms" and shows the same
// line as the action's data. Returns what the last wait gave: WAIT_OBJECT_0
// once the process ended, WAIT_FAILED when the wait failed.
DWORD WaitReportingLongRuns(MSIHANDLE session, HANDLE process, const std::wstring& program,
                            DWORD reportEveryMs = kStillRunningReportMs);

// Starts `commandLine` exactly as given (program and arguments, nothing added
// or quoted), with the program's path as the action's data, waits for the
// program to end however long it takes (WaitReportingLongRuns), and returns
// its exit code (kExitCodeUnreadable if that cannot be read). When the
// program cannot be started, logs the error and gives nothing; so it does,
// without trying, when the program's path is empty or not absolute (see
// StartsAbsoluteProgram). The caller reports a start failure its own way.
// A console program gets no console window.
// The session serves only for logging.
std::optional<DWORD> RunProcessAndWait(MSIHANDLE session, const std::wstring& commandLine);

}  // namespace kci
