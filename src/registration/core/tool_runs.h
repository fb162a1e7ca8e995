// The registration runs. Each launches one of the platform's tools once per
// line of its table, hidden and with no dialog of the shell's, and logs every
// launch with the value the launch gave: above 32 the tool was started, 32 or
// less is the platform's launch error. The URL and policy runs wait for each
// tool to end, at most kToolWaitMs, before the next line, and log a tool that
// did not end by then; only the policy's undo reads what the tool exited
// with.
//
// Platform-free: the launcher and the log reach the runs through ToolHost, so
// what is launched and logged is tested on any host.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "registration/core/registration_tables.h"
#include "runtime/core/property_read.h"

namespace kci {

// What one launch gave.
struct ToolRun {
    int launchValue = 0;  // above 32: the tool was started
    // Read after the wait where the tool ended within it.
    std::optional<std::uint32_t> exitCode;
    bool stillRunning = false;  // waited for, and not ended within the wait
};

class ToolHost {
public:
    virtual ~ToolHost() = default;
    // Starts `tool` with `parameters` ("open", hidden, no working folder),
    // waits up to `maxWaitMs` for it to end where it was started (0: not at
    // all), and closes its process handle.
    virtual ToolRun Launch(const std::wstring& tool, const std::wstring& parameters, unsigned maxWaitMs) = 0;
    virtual void Log(const std::wstring& line) = 0;
    // Shows the unit of work a launch is about to do (a URL, a policy level,
    // an assembly's file name) as the action's data.
    virtual void ShowData(const std::wstring& unit) = 0;
};

// The messenger integration's folder as the registry gave it.
struct RegistryRead {
    long openStatus = 0;
    long readStatus = 0;
    std::wstring value;
};

// netsh.exe from the system folder, over the fourteen ports: Reserve adds
// the reservations, Release deletes them. Reserve is true when it ran the
// tool, false when it refused the folder.
bool ReserveUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder);
void ReleaseUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder);
// httpcfg.exe from the folder the package gives, over the fourteen ports;
// nothing (false) when that folder is not absolute or does not end in a backslash.
bool ReserveUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder);
void ReleaseUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder);

std::array<std::wstring, kCaspolLineCount> CaspolParameterLines(const std::wstring& directory, const CaspolAction& action);
// The four policy lines for the add-in below `directory`, each tool waited
// for up to kToolWaitMs; the action writes its exit line, if it has one,
// after its record of the change. A "windir" too long for the tool path, or not absolute, launches
// nothing and gives false.
bool ApplyCaspolPolicy(ToolHost& host, const CaspolAction& action, const PropertyRead& directory,
                       const std::wstring& windir);
// Each undo line in turn, run again while the tool exits with 0, at most
// kCaspolUndoRunsPerLevel times; a tool still running after its wait ends the
// undo, so that two policy edits never run at once. "windir" is refused as
// the policy run does.
void RemoveCaspolGroups(ToolHost& host, const std::wstring& windir);

std::wstring NgenParameterLine(NgenMode mode, const std::wstring& folder, const wchar_t* assembly);
// ngen over the seventeen assemblies below the messenger integration's
// folder. True when every launch started its process.
bool GenerateNativeImages(ToolHost& host, NgenMode mode, const RegistryRead& folder, const std::wstring& windir);

}  // namespace kci
