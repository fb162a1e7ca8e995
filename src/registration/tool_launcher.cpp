#include "registration/tool_launcher.h"

#include <msiquery.h>
#include <shellapi.h>

#include <vector>

#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

// The launch value is hInstApp, what ShellExecuteW would return: above 32 when
// the tool was started. Without a process handle (a tool that was not
// started, or one the shell handed on) there is nothing to wait for and no
// exit code. The shell hands over the process only when asked
// (SEE_MASK_NOCLOSEPROCESS), so only a launch that is waited for asks.
ToolRun ShellToolHost::Start(const std::wstring& tool, const std::wstring& parameters, bool keep, ScopedHandle& process) {
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof(launch);
    launch.fMask = SEE_MASK_FLAG_NO_UI | (keep ? SEE_MASK_NOCLOSEPROCESS : 0);
    launch.lpVerb = L"open";
    launch.lpFile = tool.c_str();
    launch.lpParameters = parameters.c_str();
    launch.nShow = SW_HIDE;
    ShellExecuteExW(&launch);
    process.Reset(launch.hProcess);
    ToolRun run;
    run.launchValue = static_cast<int>(reinterpret_cast<INT_PTR>(launch.hInstApp));
    return run;
}

ToolRun ShellToolHost::Launch(const std::wstring& tool, const std::wstring& parameters, unsigned maxWaitMs) {
    ScopedHandle process;
    ToolRun run = Start(tool, parameters, maxWaitMs != 0, process);
    if (!process) return run;
    // A tool still running has no exit code yet; the 259 the platform would
    // read for it is no code the tool gave. A wait that failed may have left it running.
    const DWORD waited = WaitForSingleObject(process.Get(), maxWaitMs);
    if (waited == WAIT_FAILED) LogMessage(session_, L"WaitForSingleObject failed with error: 0x%lx", GetLastError());
    run.stillRunning = waited != WAIT_OBJECT_0;
    DWORD exitCode = 0;
    if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.Get(), &exitCode)) run.exitCode = exitCode;
    return run;
}

ToolRun ShellToolHost::LaunchKept(const std::wstring& tool, const std::wstring& parameters) {
    kept_.emplace_back();
    return Start(tool, parameters, true, kept_.back());
}

// One deadline for all: each wait gets what is left of it.
std::vector<bool> ShellToolHost::WaitForKept(unsigned maxWaitMs) {
    const DWORD started = GetTickCount();
    std::vector<bool> running;
    for (const ScopedHandle& process : kept_) {
        const DWORD spent = GetTickCount() - started;
        running.push_back(process && WaitForSingleObject(process.Get(), spent < maxWaitMs ? maxWaitMs - spent : 0) ==
                                         WAIT_TIMEOUT);
    }
    kept_.clear();
    return running;
}

void ShellToolHost::Log(const std::wstring& line) { LogMessage(session_, L"%s", line); }

void ShellToolHost::ShowData(const std::wstring& unit) { ShowActionData(session_, unit); }

PropertyRead ReadCustomActionData(MSIHANDLE session, DWORD textChars) {
    return ReadProperty(session, L"CustomActionData", textChars);
}

std::wstring ReadEnvironmentVariable(const wchar_t* name) {
    std::vector<wchar_t> buffer(kPathChars + 1, L'\0');
    for (;;) {
        // The length without the terminator when the value fits, else the size it needs.
        const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.assign(length + 1, L'\0');
    }
}

std::wstring SystemFolder() {
    wchar_t folder[kPathChars + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, kPathChars + 1);
    return length <= kPathChars ? std::wstring(folder, length) : std::wstring();
}

}  // namespace kci
