// The one way the registration actions start the platform's tools, and what
// they read from the installer and the environment to find them.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "registration/core/tool_runs.h"

namespace kci {

// Launches through the shell ("open", hidden, never waited for), logs to the
// installer log and pauses on the installer's thread.
class ShellToolHost final : public ToolHost {
public:
    explicit ShellToolHost(MSIHANDLE session) : session_(session) {}
    int Launch(const std::wstring& tool, const std::wstring& parameters) override;
    void Log(const std::wstring& line) override;
    void Pause(unsigned milliseconds) override;

private:
    MSIHANDLE session_;
};

// CustomActionData read with a capacity of `capacityChars`, terminator included.
PropertyRead ReadCustomActionData(MSIHANDLE session, DWORD capacityChars);

// The whole value of an environment variable; empty when it is unset.
std::wstring ReadEnvironmentVariable(const wchar_t* name);

// For the Wine test runner only, which links the actions statically: every
// pause a tool run takes in this process lasts at most `milliseconds`.
// Nothing in the library calls it and the library exports none of it, so a
// package always gets the pauses the tables give.
void CapToolPausesInThisProcess(unsigned milliseconds);

}  // namespace kci
