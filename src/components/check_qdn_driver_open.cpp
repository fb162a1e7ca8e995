// Whether any program holds the discovery driver's devices open, which would
// keep the driver from being replaced without a reboot.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <vector>

#include "components/core/qdn_devices.h"
#include "runtime/action_frame.h"
#include "runtime/catalogue.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/property.h"
#include "runtime/registry.h"

namespace kci {

namespace {

const wchar_t kAdapterListKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
// Adapter subkey names: 1024 characters with the terminator.
constexpr DWORD kAdapterNameChars = 1023;
// Service names (tests/BOUNDS.md, the row of kServiceNameChars).
// Kept, half the name's room: the registry was always given the name buffer's size in bytes
// (CheckQdnDriverOpen.TriesTheControlDeviceThenOnePerAdapter, service names of 511 and 512).
constexpr DWORD kServiceNameChars = (kAdapterNameChars + 1) / sizeof(wchar_t) - 1;

// The package plans a reboot when this is "true"; nothing else is ever written.
void ForceReboot(MSIHANDLE session) { kci::SetProperty(session, L"QDN_IN_USE", L"true"); }

// The number of adapter subkeys, or nothing when the key cannot say.
std::optional<DWORD> SubkeyCount(HKEY key) {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return count;
}

std::optional<std::wstring> ServiceNameOf(const std::wstring& adapter) {
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, std::wstring(kAdapterListKey) + L"\\" + adapter, KEY_READ, key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    kci::RegistryText service = kci::ReadRegistryText(key.Get(), L"ServiceName", kServiceNameChars);
    if (service.status != ERROR_SUCCESS) return std::nullopt;
    return service.text;
}

// Every adapter's service name, in the registry's order, or nothing when the
// adapters cannot all be listed: an adapter not seen might hold the driver.
std::optional<std::vector<std::wstring>> AdapterServiceNames(MSIHANDLE session) {
    kci::RegKey list;
    std::optional<DWORD> count;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kAdapterListKey, KEY_READ, list) == ERROR_SUCCESS)
        count = SubkeyCount(list.Get());
    if (!count) {
        LogMessage(session, L"Failed to enumerate network devices, forcing reboot...");
        ForceReboot(session);
        return std::nullopt;
    }
    std::vector<std::wstring> services;
    bool complete = true;
    // One name for the subkey and then its service, as the registry fills them
    // in turn: a subkey that cannot be listed leaves the last name read.
    // Kept, the last name reused: a failure has already forced the reboot and ends without device checks
    // (CheckQdnDriverOpen.TriesTheControlDeviceThenOnePerAdapter).
    std::wstring name;
    for (DWORD index = 0; index < *count; ++index) {
        const kci::RegistryValue adapter = kci::EnumRegistrySubkeyName(list.Get(), index, kAdapterNameChars);
        if (adapter.status == ERROR_SUCCESS) {
            name = adapter.name;
        } else {
            LogMessage(session, L"Error returned from RegEnumKeyEx, forcing reboot");
            ForceReboot(session);
            complete = false;
        }
        if (std::optional<std::wstring> service = ServiceNameOf(name)) {
            name = *service;
            services.push_back(*service);
        } else {
            LogMessage(session, L"Error returned from RegQueryValueEx, forcing reboot");
            ForceReboot(session);
            complete = false;
        }
    }
    if (!complete) return std::nullopt;
    return services;
}

// Only access denied means another program holds the device; a device that
// does not exist (driver not loaded, or not bound to that adapter) is normal.
bool DeviceInUse(MSIHANDLE session, const std::wstring& device) {
    LogMessage(session, L"Checking (%s)", device);
    kci::ScopedHandle handle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle) {
        LogMessage(session, L"-->Device (%s) NOT in use", device);
        return false;
    }
    const DWORD error = GetLastError();
    LogMessage(session, L"-->Failed to open device (%s)", device);
    LogMessage(session, L"-->GetLastError( ) = 0x%08x", error);
    if (error != ERROR_ACCESS_DENIED) {
        LogMessage(session, L"-->Error should be recoverable, continuing");
        return false;
    }
    LogMessage(session, L"-->Device (%s) in use, forcing reboot before QDN driver install", device);
    return true;
}

}  // namespace

// Type 1, immediate, before the discovery driver is replaced (InstallQdnAndFilter):
// sets QDN_IN_USE to "true" when one of the driver's devices is held open or
// the network adapters cannot be listed or counted; every device is tried.
// Returns 0.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall CheckQDNDriverOpen(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckQDNDriverOpen", kci::ModuleContext::None, [&] {
        LogMessage(session, L"Entering CheckQDNDriverOpen");
        ShowActionStart(session, kci::CatalogueText(session, kci::kTextCheckingQdnDriverOpen));
        const std::optional<std::vector<std::wstring>> services = AdapterServiceNames(session);
        if (!services) return ERROR_SUCCESS;
        for (const std::wstring& device : kci::QdnDevices(*services)) {
            if (DeviceInUse(session, device)) ForceReboot(session);
        }
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (CheckQdnDriverOpen.TriesTheControlDeviceThenOnePerAdapter).
        LogMessage(session, L"Leaving CheckQDNDriverOpen");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
