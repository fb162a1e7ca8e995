// Deleting the product's per-user settings from every loaded user hive.
#include <windows.h>
#include <msi.h>
#include <shlwapi.h>

#include <string>

#include "runtime/action_frame.h"
#include "runtime/log.h"
#include "runtime/registry.h"

namespace kci {

namespace {

constexpr DWORD kHiveNameChars = 4095;  // 4096 with the terminator
constexpr wchar_t kSettingsBelowHive[] = L"\\Software\\Tenvor Systems, Inc.\\KORVI\\Tcp";

}  // namespace

// Type 1, immediate, on removal. Deletes "Software\Tenvor Systems,
// Inc.\KORVI\Tcp" with all below it under each subkey of HKEY_USERS (hives
// not loaded keep theirs), one log line per hive. Returns 0.
extern "C" UINT __stdcall NukeRegistrySettings(MSIHANDLE session) {
    return kci::RunAction(session, L"NukeRegistrySettings", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering NukeRegistrySettings");
        // Deleting a key deep below a hive leaves the list of hives as it was,
        // so counting on by index visits each hive once.
        for (DWORD index = 0;; ++index) {
            const kci::RegistryValue hive = kci::EnumRegistrySubkeyName(HKEY_USERS, index, kHiveNameChars);
            if (hive.status != ERROR_SUCCESS) break;
            const std::wstring settings = hive.name + kSettingsBelowHive;
            const LSTATUS deleted = SHDeleteKeyW(HKEY_USERS, settings.c_str());
            LogMessage(session, L"Removing settings on %s returned 0x%x", settings, deleted);
        }
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (NukeRegistrySettings.DeletesTheKeyUnderEveryLoadedHiveOneLineEach).
        LogMessage(session, L"Leaving NukeRegistrySettings");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
