// CpuSpeedInMhz: the platform reports the processor's speed in several
// places, none of them everywhere reliable. The action asks four of them,
// logs each answer, and returns the largest as its result. Sources that fail
// give negative codes, which never win.
#include <windows.h>
#include <msi.h>
#include <powrprof.h>

#include <algorithm>

#include "probes/core/processor.h"
#include "runtime/action_frame.h"
#include "runtime/core/decimal.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "runtime/wmi.h"

namespace kci {

namespace {

// Opened for reading only: an installation that runs without elevation could
// not open it for all access, and would lose two of the four sources.
const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// What the power manager reports per processor (mingw's powrprof.h lacks it).
struct ProcessorPowerRecord {
    ULONG number;
    ULONG maxMhz;
    ULONG currentMhz;
    ULONG mhzLimit;
    ULONG maxIdleState;
    ULONG currentIdleState;
};
constexpr ULONG kPowerRecords = 256;
constexpr ULONG kFallbackPowerRecords = 16;

// The name string is read with room for 4094 bytes, terminator included.
constexpr DWORD kProcessorNameChars = 2046;

// Negative results of the WMI source, one per step that can fail.
constexpr int kWmiNoCom = -1;
constexpr int kWmiNoLocator = -2;
constexpr int kWmiNoConnection = -3;
constexpr int kWmiQueryFailed = -4;
constexpr int kWmiResetFailed = -5;
constexpr int kWmiNextFailed = -6;
constexpr int kWmiNoSpeed = -7;  // no processor row, or a speed that is no number

// Name-string source results when the key or the value cannot be read.
constexpr int kNameUnreadable = -1;
constexpr int kNameKeyUnreadable = -2;

void Raise(int& speed, int candidate) { speed = std::max(speed, candidate); }

void AddRegistrySpeed(MSIHANDLE session, int& speed) {
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kProcessorKey, KEY_READ, key) != ERROR_SUCCESS) return;
    DWORD mhz = 0;
    const LSTATUS status = kci::ReadRegistryNumber(key.Get(), L"~MHz", mhz);
    if (status != ERROR_SUCCESS) {
        LogMessage(session, L"Registry read returned %d, not using that speed", static_cast<int>(status));
        return;
    }
    LogMessage(session, L"Registry speed returned %d", static_cast<int>(mhz));
    Raise(speed, static_cast<int>(mhz));
}

void AddPowerManagerSpeed(MSIHANDLE session, int& speed) {
    ProcessorPowerRecord records[kPowerRecords] = {};
    LONG status = CallNtPowerInformation(ProcessorInformation, nullptr, 0, records, sizeof(records));
    if (status != 0) {
        status = CallNtPowerInformation(ProcessorInformation, nullptr, 0, records,
                                        kFallbackPowerRecords * sizeof(ProcessorPowerRecord));
        if (status != 0) {
            LogMessage(session, L"CpuSpeedInMhz CallNtPowerInformation returned error code 0x%x", status);
            return;
        }
    }
    const int current = static_cast<int>(records[0].currentMhz);
    const int maximum = static_cast<int>(records[0].maxMhz);
    Raise(speed, current);
    Raise(speed, maximum);
    LogMessage(session, L"CallNtPowerInformation returned %d/%d", current, maximum);
}

// Keeps the connection's authentication but impersonates the caller, with an
// empty identity. COM may hold on to the identity while the proxy lives.
void SetImpersonation(IWbemServices& services, SEC_WINNT_AUTH_IDENTITY_W& identity) {
    DWORD authentication = 0, authorization = 0, level = 0, impersonation = 0, capabilities = 0;
    CoQueryProxyBlanket(&services, &authentication, &authorization, nullptr, &level, &impersonation, nullptr,
                        &capabilities);
    CoSetProxyBlanket(&services, authentication, authorization, COLE_DEFAULT_PRINCIPAL, level,
                      RPC_C_IMP_LEVEL_IMPERSONATE, &identity, capabilities);
}

// The speed in the text a VARIANT converts to, or kWmiNoSpeed.
int SpeedFromVariant(MSIHANDLE session, const VARIANT& value) {
    kci::Variant text;
    // The source is only read; some headers declare it without const.
    if (FAILED(VariantChangeType(text.Receive(), const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        LogMessage(session, L"CpuSpeedInMhz MaxClockSpeed does not convert to text");
        return kWmiNoSpeed;
    }
    const std::wstring digits = text.Text();
    const kci::Decimal speed = kci::ReadDecimal(digits);
    if (!speed.outOfRange) return speed.value;  // no leading digits read as 0
    LogMessage(session, L"CpuSpeedInMhz MaxClockSpeed %s is no speed", digits);
    return kWmiNoSpeed;
}

// The first processor's MaxClockSpeed from WMI, or a negative code.
int WmiMaxClockSpeed(MSIHANDLE session) {
    wchar_t empty[1] = L"";
    SEC_WINNT_AUTH_IDENTITY_W identity = {};
    identity.User = identity.Domain = identity.Password = reinterpret_cast<unsigned short*>(empty);
    identity.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;

    kci::ComInitialization com;  // released last, after every object below
    HRESULT hr = com.InitializeMultithreaded();
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz CoInitialize returned error code %x", hr);
        return kWmiNoCom;
    }
    hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                              nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr)) LogMessage(session, L"CpuSpeedInMhz CoInitializeSecurity returned error code %x", hr);

    kci::ComPtr<IWbemLocator> locator;
    hr = kci::CreateWmiLocator(locator);
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz CoCreateInstance returned error code %x", hr);
        return kWmiNoLocator;
    }
    kci::ComPtr<IWbemServices> services;
    hr = kci::ConnectWmiNamespace(*locator.Get(), L"root\\cimv2", services);
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz ConnectServer returned error code %x", hr);
        return kWmiNoConnection;
    }
    SetImpersonation(*services.Get(), identity);
    kci::ComPtr<IEnumWbemClassObject> rows;
    hr = kci::ExecWqlQuery(*services.Get(), L"Select * from win32_Processor", WBEM_FLAG_RETURN_IMMEDIATELY, rows);
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz ExecQuery returned error code %x", hr);
        return kWmiQueryFailed;
    }
    hr = rows->Reset();
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz Reset returned error code %x", hr);
        return kWmiResetFailed;
    }
    kci::ComPtr<IWbemClassObject> processor = kci::NextWmiRow(*rows.Get(), hr);
    if (FAILED(hr)) {
        LogMessage(session, L"CpuSpeedInMhz Next returned error code %x", hr);
        return kWmiNextFailed;
    }
    if (!processor) {
        LogMessage(session, L"CpuSpeedInMhz WMI lists no processor");
        return kWmiNoSpeed;
    }
    kci::Variant value;
    processor->Get(L"MaxClockSpeed", 0, value.Receive(), nullptr, nullptr);
    return SpeedFromVariant(session, value.Get());
}

// The speed written in the processor's marketing name, or a negative code.
int SpeedFromProcessorName() {
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kProcessorKey, KEY_READ, key) != ERROR_SUCCESS)
        return kNameKeyUnreadable;
    const kci::RegistryText name = kci::ReadRegistryText(key.Get(), L"ProcessorNameString", kProcessorNameChars);
    key.Close();
    if (name.status != ERROR_SUCCESS) return kNameUnreadable;
    return kci::SpeedFromNameString(name.text);
}

}  // namespace

// Type 1, immediate, any time (the package ignores its result code, since
// the installer counts any code but 0, 1602, 1603 and 259 as failure): the
// processor's speed in MHz as the result, the largest of the registry, the
// power manager, WMI and the processor's name; -1 when none gives one.
extern "C" UINT __stdcall CpuSpeedInMhz(MSIHANDLE session) {
    return kci::RunAction(session, L"CpuSpeedInMhz", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CpuSpeedInMhz");
        int speed = -1;
        AddRegistrySpeed(session, speed);
        AddPowerManagerSpeed(session, speed);
        const int wmi = WmiMaxClockSpeed(session);
        LogMessage(session, L"CpuSpeedInMhz WMI returned %d", wmi);
        Raise(speed, wmi);
        const int fromName = SpeedFromProcessorName();
        // Kept, "WMI" though the registry answers: packages search for it
        // (Probes.CpuSpeedIsTheLargestOfItsFourSources).
        LogMessage(session, L"ProcessorNameString WMI returned %d", fromName);
        Raise(speed, fromName);
        LogMessage(session, L"Exiting CpuSpeedInMhz with return code of %d", speed);
        return static_cast<UINT>(speed);
    });
}

}  // namespace kci
