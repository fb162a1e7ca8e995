#include "registration/core/tool_runs.h"

#include <algorithm>
#include <string_view>

#include "registration/core/tool_paths.h"
#include "runtime/core/command_line.h"
#include "runtime/core/custom_action_data.h"
#include "runtime/core/format.h"

namespace kci {
namespace {

// The highest launch value that is the platform's launch error.
constexpr int kLastLaunchError = 32;

template <class... Args>
void Log(ToolHost& host, const wchar_t* format, const Args&... args) {
    host.Log(Format(format, args...));
}

bool Started(const ToolRun& run) { return run.launchValue > kLastLaunchError; }

// Launches one line and logs "<label> successful returned: '<value>'\n" or
// "<label> not successful ...", then, where it was waited for and is still
// running, "<label> still running after <wait> ms": the one way every run
// that waits reports a tool it no longer waits for.
ToolRun Logged(ToolHost& host, const ToolRun& run, const wchar_t* label, unsigned maxWaitMs) {
    Log(host, Started(run) ? L"%s successful returned: '%d'\n" : L"%s not successful returned: '%d'\n", label,
        run.launchValue);
    if (run.stillRunning) Log(host, L"%s still running after %d ms", label, static_cast<int>(maxWaitMs));
    return run;
}

// Shows `unit` as the action's data, then launches one line, logged as Logged says.
ToolRun LaunchLogged(ToolHost& host, const std::wstring& tool, const std::wstring& parameters, const wchar_t* label,
                     std::wstring_view unit, unsigned maxWaitMs = 0) {
    host.ShowData(std::wstring(unit));
    return Logged(host, host.Launch(tool, parameters, maxWaitMs), label, maxWaitMs);
}

// A failed read counts as no value at all: a value cut at the buffer's end
// would name another path than the package meant.
std::wstring CustomActionDataValue(ToolHost& host, const PropertyRead& read) {
    if (read.result == 0) return read.value;
    Log(host, kInvalidCustomActionDataText);
    Log(host, L"result = %d", read.result);
    return L"";
}

using UrlLines = std::array<const wchar_t*, kReservedPortCount>;

// The policy level a policy line edits.
std::wstring_view PolicyLevelOf(std::wstring_view line) {
    return line.find(L" -enterprise ") != std::wstring_view::npos ? L"enterprise" : L"machine";
}

// An assembly's file name, without the folders below the messenger's.
std::wstring_view FileNameOf(std::wstring_view path) { return path.substr(path.find_last_of(L'\\') + 1); }

// netsh.exe in the system folder; none when that folder is not absolute.
std::optional<std::wstring> NetshTool(ToolHost& host, const std::wstring& systemFolder) {
    if (IsAbsolutePath(systemFolder)) return NetshPath(systemFolder);
    Log(host, L"netsh.exe folder is not an absolute path, nothing started");
    return std::nullopt;
}

// httpcfg.exe in the folder CustomActionData names; none when that folder is
// not absolute or, used as a plain prefix, would not end where the tool's
// name begins ("C:\tools" would start "C:\toolshttpcfg.exe").
std::optional<std::wstring> HttpcfgTool(ToolHost& host, const PropertyRead& folder) {
    const std::wstring value = CustomActionDataValue(host, folder);
    Log(host, L"httpcfg.exe path: '%s'\n", value);
    if (IsToolFolder(value)) return HttpcfgPath(value);
    if (IsAbsolutePath(value)) Log(host, L"httpcfg.exe folder does not end in a backslash: %s", value);
    // Kept for an absolute folder too: packages look for it (UrlReservations.HttpcfgFolderIsAPlainPrefixAndWithoutAnAbsoluteOneEndingInABackslashNothingStarts).
    Log(host, L"httpcfg.exe folder is not an absolute path, nothing started");
    return std::nullopt;
}

// Each line but those naming one of `othersUrls`, which are only logged.
UrlReservationRun RunUrlLines(ToolHost& host, const std::optional<std::wstring>& tool, const UrlLines& lines,
                              const wchar_t* lineFormat, const wchar_t* label,
                              const std::vector<std::wstring>& othersUrls = {}) {
    UrlReservationRun result;
    if (!tool) return result;
    result.ran = true;
    for (const wchar_t* line : lines) {
        const std::wstring url = ReservedUrlOf(line);
        if (std::find(othersUrls.begin(), othersUrls.end(), url) != othersUrls.end()) {
            Log(host, L"Reserved before the product came, left as it is: %s", url);
            continue;
        }
        Log(host, lineFormat, line);
        const ToolRun run = LaunchLogged(host, *tool, line, label, url, kToolWaitMs);
        if (run.stillRunning || (run.exitCode && *run.exitCode != 0)) result.notAdded.push_back(url);
    }
    return result;
}

// Caspol.Exe below "windir", logged; none, with the refusal logged, when
// "windir" does not give one.
std::optional<std::wstring> CaspolTool(ToolHost& host, const std::wstring& windir) {
    const RuntimeTool tool = RuntimeToolPath(windir, kCaspolSuffix, kCaspolPathChars);
    if (tool.fault != WindirFault::None) {
        // Kept, "returning false." from a routine that returns nothing: packages search the log for these lines
        // (CodeAccessPolicy.ARefusedWindirLaunchesNothingAndAFailedReadLeavesTheTailAlone).
        Log(host, tool.fault == WindirFault::TooLong ? L"WINDIR returned more than MAX_PATH + 500; returning false."
                                                     : L"WINDIR is empty or not an absolute path; returning false.");
        return std::nullopt;
    }
    Log(host, L"caspolPath path: %s", tool.path);
    return tool.path;
}

}  // namespace

std::wstring ReservedUrlOf(const std::wstring& line) {
    const std::size_t at = line.find(L"http://");
    if (at == std::wstring::npos) return L"";
    return line.substr(at, line.find(L' ', at) - at);
}

UrlReservationRun ReserveUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder) {
    return RunUrlLines(host, NetshTool(host, systemFolder), kNetshLines, L"Netshing : '%s'\n", L"netsh");
}

// The undo's lines are announced without the adding runs' line feed, as packages search for
// them (UrlReservations.UndoDeletesEachPortInTableOrder).
void ReleaseUrlsWithNetsh(ToolHost& host, const std::wstring& systemFolder, const std::vector<std::wstring>& othersUrls) {
    RunUrlLines(host, NetshTool(host, systemFolder), kNetshUndoLines, L"Netshing : '%s'", L"netsh", othersUrls);
}

UrlReservationRun ReserveUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder) {
    return RunUrlLines(host, HttpcfgTool(host, folder), kHttpcfgLines, L"httpcfging : '%s'\n", L"httpcfg");
}

void ReleaseUrlsWithHttpcfg(ToolHost& host, const PropertyRead& folder, const std::vector<std::wstring>& othersUrls) {
    RunUrlLines(host, HttpcfgTool(host, folder), kHttpcfgUndoLines, L"httpcfging : '%s'", L"httpcfg", othersUrls);
}

std::array<std::wstring, kCaspolLineCount> CaspolParameterLines(const std::wstring& directory, const CaspolAction& action) {
    std::array<std::wstring, kCaspolLineCount> lines;
    for (std::size_t i = 0; i < kCaspolLineCount; ++i) {
        const CaspolLine& line = kCaspolLines[i];
        lines[i] = line.byFile ? line.head + directory + action.assemblyTail
                               : line.head + std::wstring(L" ") + kStrongNamePublicKey + kCaspolKeyTail;
    }
    return lines;
}

bool ApplyCaspolPolicy(ToolHost& host, const CaspolAction& action, const PropertyRead& directory,
                       const std::wstring& windir) {
    const std::wstring folder = CustomActionDataValue(host, directory);
    Log(host, L"Installdir: '%s'\n", folder);
    const auto lines = CaspolParameterLines(folder, action);
    const std::optional<std::wstring> tool = CaspolTool(host, windir);
    if (!tool) return false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (action.logsWholeLines) Log(host, L"Caspoling : CASPOL%d = %s \n", static_cast<int>(i), lines[i]);
        else Log(host, L"Caspoling : CASPOL'%d'\n", static_cast<int>(i));
        // As in the undo: no policy edit starts while an earlier one may still write.
        if (LaunchLogged(host, *tool, lines[i], L"CASPOL", PolicyLevelOf(lines[i]), kToolWaitMs).stillRunning) {
            Log(host, L"Skipping the remaining levels while CASPOL runs");
            break;
        }
    }
    return true;
}

void RemoveCaspolGroups(ToolHost& host, const std::wstring& windir) {
    const std::optional<std::wstring> tool = CaspolTool(host, windir);
    if (!tool) return;
    for (const wchar_t* line : kCaspolUndoLines) {
        for (int runs = 1;; ++runs) {
            Log(host, L"Caspoling : %s", line);
            const ToolRun run = LaunchLogged(host, *tool, line, L"CASPOL", PolicyLevelOf(line), kToolWaitMs);
            if (run.exitCode) Log(host, L"CASPOL exit code: %d", *run.exitCode);
            if (run.stillRunning) {
                Log(host, L"Skipping the remaining levels while CASPOL runs");
                return;
            }
            if (run.exitCode != 0u || runs == kCaspolUndoRunsPerLevel) break;
        }
    }
}

std::wstring NgenParameterLine(NgenMode mode, const std::wstring& folder, const wchar_t* assembly) {
    return NgenPrefix(mode) + folder + assembly + L"\"";
}

bool GenerateNativeImages(ToolHost& host, NgenMode mode, const RegistryRead& folder, const std::wstring& windir) {
    Log(host, L"Entering ProcessNGEN");
    if (folder.openStatus != 0) {
        // Kept as spelt, "cant" and "couldnt" below: packages search the log for them
        // (NativeImages.NothingLaunchesWithoutTheFolderOrAFittingWindir).
        Log(host, L"Could not open the InstallPath key, cant run ngen! \n");
        Log(host, L"Exiting ProcessNGEN");
        return false;
    }
    Log(host, L"after RegOpenKeyEx ProcessNGEN");
    if (folder.readStatus != 0) {
        Log(host, L"Registry read returned %d, couldnt open %s", folder.readStatus, kMessengerIntegrationKey);
        return false;
    }
    Log(host, L"InstallDir returned %s", folder.value);
    const RuntimeTool tool = RuntimeToolPath(windir, kNgenSuffix, kNgenPathChars);
    if (tool.fault != WindirFault::None) {
        Log(host, tool.fault == WindirFault::TooLong ? L"WINDIR returned more than MAX_PATH + 500"
                                                     : L"WINDIR is empty or not an absolute path");
        return false;
    }
    Log(host, L"ngen path: %s", tool.path);
    const bool waits = mode == NgenMode::Uninstall;
    bool allStarted = true;
    std::vector<std::wstring> lines;
    for (const wchar_t* assembly : kNativeImageAssemblies) {
        lines.push_back(NgenParameterLine(mode, folder.value, assembly));
        Log(host, L"InstallDir + file: %s", lines.back());
        host.ShowData(std::wstring(FileNameOf(assembly)));
        const ToolRun run = waits ? host.LaunchKept(tool.path, lines.back()) : host.Launch(tool.path, lines.back(), 0);
        allStarted = Started(Logged(host, run, L" ngen", 0)) && allStarted;
    }
    // The other waits name their tool; here the line tells the seventeen apart.
    const std::vector<bool> running = waits ? host.WaitForKept(kNgenUninstallWaitMs) : std::vector<bool>();
    for (std::size_t i = 0; i < running.size() && i < lines.size(); ++i)
        if (running[i]) Log(host, L"%s still running after %lu ms", lines[i], static_cast<unsigned long>(kNgenUninstallWaitMs));
    Log(host, L"Exiting ProcessNGEN");
    return allStarted;
}

}  // namespace kci
