// The registration runs. Each launches one of the platform's tools once per
// line of its table, hidden and with no dialog of the shell's, and logs every
// launch with the value the launch gave: above 32 the tool was started, 32 or
// less is the platform's launch error. The URL and policy runs wait for each
// tool to end, at most kToolWaitMs, before the next line, and log a tool that
// did not end by then; the URL adds and the policy's undo read what the tool
// exited with. The native-image removals are waited for together, after the
// last launch.
//
// Platform-free: the launcher and the log reach the runs through ToolHost, so
// what is launched and logged is tested on any host.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // Starts `tool` as Launch does, without waiting, but keeps its process
    // for WaitForKept.
    virtual ToolRun LaunchKept(const std::wstring& tool, const std::wstring& parameters) = 0;
    // Waits for every process kept so far, together, up to `maxWaitMs` in
    // all, and lets go of them: for each LaunchKept in turn, true when its
    // tool was still running then.
    virtual std::vector<bool> WaitForKept(unsigned maxWaitMs) = 0;
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

// What an adding run gave: whether it ran the tool at all (not when it
// refused the folder), and the URL of each line whose add did not succeed:
// the tool exited with other than 0 (the URL was reserved already, by
// whomever) or still ran after its wait.
struct UrlReservationRun {
    bool ran = false;
    std::vector<std::wstring> notAdded;
};

// The URL a reservation line names ("http://+:8191/").
std::wstring ReservedUrlOf(const std::wstring& line);

// netsh.exe from the system folder, over the fourteen ports: Reserve adds
// the reservations, Release deletes them, all but `othersUrls`, which it
// only logs as another program's.
UrlReservationRun ReserveUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder);
void ReleaseUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder,
                          const std::vector<std::wstring>& othersUrls = {});
// httpcfg.exe from the folder the package gives, over the fourteen ports;
// nothing (not ran) when that folder is not absolute or does not end in a backslash.
UrlReservationRun ReserveUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder);
void ReleaseUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder, const std::vector<std::wstring>& othersUrls = {});

std::array<std::wstring, kCaspolLineCount> CaspolParameterLines(const std::wstring& directory, const CaspolAction& action);
// The four policy lines for the add-in below `directory`, each tool waited
// for up to kToolWaitMs, and none started while one still runs after its wait
// ("Skipping the remaining levels while CASPOL runs", as the undo); the
// action writes its exit line, if it has one,
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
// folder. True when every launch started its process. The removals are
// waited for, together, at most kNgenUninstallWaitMs; the images are made in
// the background.
bool GenerateNativeImages(ToolHost& host, NgenMode mode, const RegistryRead& folder, const std::wstring& windir);

}  // namespace kci
