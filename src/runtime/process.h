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

// Starts `commandLine` exactly as given (program and arguments, nothing added
// or quoted), waits for the program to end however long it takes, and returns
// its exit code (kExitCodeUnreadable if that cannot be read). When the
// program cannot be started, logs the error and gives nothing; so it does,
// without trying, when the program's path is empty or not absolute (see
// StartsAbsoluteProgram). The caller reports a start failure its own way.
// A console program gets no console window.
// The session serves only for logging.
std::optional<DWORD> RunProcessAndWait(MSIHANDLE session, const std::wstring& commandLine);

}  // namespace kci
