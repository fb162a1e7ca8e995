#include "runtime/process.h"

#include <vector>

#include "runtime/core/command_line.h"
#include "runtime/handles.h"
#include "runtime/log.h"

namespace kci {

DWORD WaitReportingLongRuns(MSIHANDLE session, HANDLE process, const std::wstring& program, DWORD reportEveryMs) {
    DWORD waitedMs = 0;
    DWORD wait;
    while ((wait = WaitForSingleObject(process, reportEveryMs)) == WAIT_TIMEOUT) {
        waitedMs += reportEveryMs;
        const std::wstring line = Format(L"%s still running after %lu ms", program, waitedMs);
        WriteLogLine(session, line);
        ShowActionData(session, line);
    }
    return wait;
}

std::optional<DWORD> RunProcessAndWait(MSIHANDLE session, const std::wstring& commandLine) {
    // Run as the system, a program found by search or below the current
    // folder could be anybody's: such a line fails as a start failure does.
    if (!kci::StartsAbsoluteProgram(commandLine)) {
        LogMessage(session, L"Program path is empty or not absolute, not started: %s", commandLine);
        return std::nullopt;
    }
    LogMessage(session, L"Going to try executing %s", commandLine);
    const std::wstring program(kci::ProgramOf(commandLine));
    ShowActionData(session, program);

    // CreateProcessW may write into the command line, so it gets a copy.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    // No console window: one opened by a program run as the system would be a
    // prompt of the system on the user's desktop. Windows ignores the flag for
    // a program with windows of its own, which shows them as it chooses.
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &started)) {
        LogMessage(session, L"CreateProcess failed with error: 0x%lx", GetLastError());
        return std::nullopt;
    }
    const kci::ScopedHandle process(started.hProcess);
    const kci::ScopedHandle thread(started.hThread);

    // A wait that fails would leave the program running and its code reading
    // STILL_ACTIVE, which means nothing: count it as an unreadable code.
    DWORD exitCode = 0;
    if (WaitReportingLongRuns(session, process.Get(), program) != WAIT_OBJECT_0) {
        LogMessage(session, L"WaitForSingleObject failed with error: 0x%lx", GetLastError());
        return kci::kExitCodeUnreadable;
    }
    if (!GetExitCodeProcess(process.Get(), &exitCode)) {
        LogMessage(session, L"GetExitCodeProcess failed with error: 0x%lx", GetLastError());
        return kci::kExitCodeUnreadable;
    }
    return exitCode;
}

}  // namespace kci
