#include "registration/tool_launcher.h"

#include <msiquery.h>
#include <shellapi.h>

#include <vector>

#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {
namespace {

unsigned g_pauseCapMs = INFINITE;

}  // namespace

int ShellToolHost::Launch(const std::wstring& tool, const std::wstring& parameters) {
    HINSTANCE value = ShellExecuteW(nullptr, L"open", tool.c_str(), parameters.c_str(), nullptr, SW_HIDE);
    return static_cast<int>(reinterpret_cast<INT_PTR>(value));
}

void ShellToolHost::Log(const std::wstring& line) { LogMessage(session_, L"%s", line); }

void ShellToolHost::Pause(unsigned milliseconds) { Sleep(milliseconds < g_pauseCapMs ? milliseconds : g_pauseCapMs); }

PropertyRead ReadCustomActionData(MSIHANDLE session, DWORD capacityChars) {
    return ReadProperty(session, L"CustomActionData", capacityChars);
}

std::wstring ReadEnvironmentVariable(const wchar_t* name) {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        // The length without the terminator when the value fits, else the size it needs.
        const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.assign(length + 1, L'\0');
    }
}

void CapToolPausesInThisProcess(unsigned milliseconds) { g_pauseCapMs = milliseconds; }

}  // namespace kci
