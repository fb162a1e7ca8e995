// The one way the registration actions start the platform's tools, and what
// they read from the installer and the environment to find them.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

#include "runtime/handles.h"

#include "registration/core/tool_runs.h"

namespace kci {

// Launches through the shell ("open", hidden, never a dialog of the shell's),
// waits where asked on the started process and reads its exit code, and logs
// to the installer log. The one way a registration tool is started.
class ShellToolHost final : public ToolHost {
public:
    explicit ShellToolHost(MSIHANDLE session) : session_(session) {}
    ToolRun Launch(const std::wstring& tool, const std::wstring& parameters, unsigned maxWaitMs) override;
    ToolRun LaunchKept(const std::wstring& tool, const std::wstring& parameters) override;
    std::vector<bool> WaitForKept(unsigned maxWaitMs) override;
    void Log(const std::wstring& line) override;
    void ShowData(const std::wstring& unit) override;

private:
    // The launch value, and the started process where `keep` asks for it.
    ToolRun Start(const std::wstring& tool, const std::wstring& parameters, bool keep, ScopedHandle& process);

    MSIHANDLE session_;
    std::vector<ScopedHandle> kept_;  // one per LaunchKept, empty where nothing started
};

// CustomActionData of up to `textChars` characters.
PropertyRead ReadCustomActionData(MSIHANDLE session, DWORD textChars);

// The whole value of an environment variable; empty when it is unset.
std::wstring ReadEnvironmentVariable(const wchar_t* name);

// The system folder (System32); empty when it cannot be read.
std::wstring SystemFolder();

}  // namespace kci
