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
// exit code.
ToolRun ShellToolHost::Launch(const std::wstring& tool, const std::wstring& parameters, unsigned maxWaitMs) {
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof(launch);
    launch.fMask = SEE_MASK_FLAG_NO_UI | (maxWaitMs ? SEE_MASK_NOCLOSEPROCESS : 0);
    launch.lpVerb = L"open";
    launch.lpFile = tool.c_str();
    launch.lpParameters = parameters.c_str();
    launch.nShow = SW_HIDE;
    ShellExecuteExW(&launch);
    const ScopedHandle process(launch.hProcess);
    ToolRun run;
    run.launchValue = static_cast<int>(reinterpret_cast<INT_PTR>(launch.hInstApp));
    if (!process) return run;
    // A tool still running has no exit code yet; the 259 the platform would
    // read for it is no code the tool gave.
    run.stillRunning = WaitForSingleObject(process.Get(), maxWaitMs) == WAIT_TIMEOUT;
    DWORD exitCode = 0;
    if (!run.stillRunning && GetExitCodeProcess(process.Get(), &exitCode)) run.exitCode = exitCode;
    return run;
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
