// Asking the platform for a complete memory dump when the system crashes.
#include <windows.h>
#include <msi.h>

#include "runtime/action_frame.h"
#include "runtime/log.h"
#include "runtime/registry.h"

namespace kci {

// Type 3073, deferred, not impersonated (it writes the machine's crash
// control settings), after InstallFiles: sets CrashDumpEnabled to 1. Returns 0.
extern "C" UINT __stdcall ForceFullDump(MSIHANDLE session) {
    return kci::RunAction(session, L"ForceFullDump", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering ForceFullDump");
        kci::RegKey key;
        const LSTATUS opened = kci::OpenRegistryKey(
            HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\CrashControl", KEY_WRITE, key);
        if (opened != ERROR_SUCCESS) {
            LogMessage(session, L"RegOpenKey returned %lx", opened);
        } else {
            const DWORD completeDump = 1;
            const LSTATUS written = RegSetValueExW(key.Get(), L"CrashDumpEnabled", 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&completeDump), sizeof(completeDump));
            key.Close();
            if (written != ERROR_SUCCESS) LogMessage(session, L"RegSetValueEx returned 0x%lx", written);
            else LogMessage(session, L"RegSetValueEx succeeded");
        }
        LogMessage(session, L"Exiting ForceFullDump");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
