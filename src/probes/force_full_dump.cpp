// Asking the platform for a complete memory dump when the system crashes, and
// giving the machine back the setting it had. The setting is shared by the
// maker's products: the first product to change it records it as it was
// found, and the last one to go puts it back (runtime/product_records.h).
#include <windows.h>
#include <msi.h>

#include "runtime/action_frame.h"
#include "runtime/log.h"
#include "runtime/product_records.h"
#include "runtime/registry.h"

namespace kci {
namespace {

// The shared change this action makes: its record's key under "...\KORVI\Shared".
constexpr wchar_t kCrashControl[] = L"CrashControl";
constexpr wchar_t kCrashControlKey[] = L"SYSTEM\\CurrentControlSet\\Control\\CrashControl";
constexpr wchar_t kCrashDumpEnabled[] = L"CrashDumpEnabled";
constexpr DWORD kCompleteDump = 1;
// More than any setting of the platform's takes; a larger value is not copied.
constexpr DWORD kRecordBytes = 1024;

// Copies CrashDumpEnabled as it stands into the opened record key: its type
// and data, or REG_NONE without data when it is not set. The result of the
// failing call, or ERROR_SUCCESS.
LSTATUS CopyCrashDumpSetting(MSIHANDLE session, HKEY record) {
    RegistryData found;
    RegKey crashControl;
    const LSTATUS opened = OpenRegistryKey(HKEY_LOCAL_MACHINE, kCrashControlKey, KEY_QUERY_VALUE, crashControl);
    if (opened == ERROR_SUCCESS) found = ReadRegistryData(crashControl.Get(), kCrashDumpEnabled, kRecordBytes);
    else if (opened != ERROR_FILE_NOT_FOUND) return opened;
    const bool set = found.status == ERROR_SUCCESS;
    if (!set && found.status != ERROR_FILE_NOT_FOUND) return found.status;
    const LSTATUS written = RegSetValueExW(record, kCrashDumpEnabled, 0, set ? found.type : REG_NONE,
                                           set ? found.bytes.data() : nullptr,
                                           set ? static_cast<DWORD>(found.bytes.size()) : 0);
    if (written != ERROR_SUCCESS) return written;
    if (!set) LogMessage(session, L"Recorded that CrashDumpEnabled was not set");
    else if (found.type == REG_DWORD && found.bytes.size() == sizeof(DWORD))
        LogMessage(session, L"Recorded CrashDumpEnabled before the change: %lu",
                   *reinterpret_cast<const DWORD*>(found.bytes.data()));
    else LogMessage(session, L"Recorded CrashDumpEnabled before the change, of type %lu", found.type);
    return ERROR_SUCCESS;
}

// The setting as found, recorded by the first product to change it; later
// runs and other products keep that record, whoever still needs it: a record
// left by a restore that failed holds the administrator's setting.
void RecordCrashDumpSetting(MSIHANDLE session) {
    RegKey record;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SharedChangePath(kCrashControl).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                                     record.Receive(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExW(record.Get(), kCrashDumpEnabled, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) return LogMessage(session, L"Kept the record of an earlier run");
        if (status == ERROR_FILE_NOT_FOUND) status = CopyCrashDumpSetting(session, record.Get());
    }
    if (status != ERROR_SUCCESS) LogMessage(session, L"Could not record CrashDumpEnabled: %lu", status);
}

// A call that fails on the way keeps the record: false.
bool Failed(MSIHANDLE session, const wchar_t* call, LSTATUS status) {
    LogFailedCall(session, call, status);
    return false;
}

// Puts CrashDumpEnabled back as the record has it, unless it is no longer the
// complete dump set at the installation. True when the record has served,
// false when it stays for a later undo.
bool RestoreCrashDumpSetting(MSIHANDLE session) {
    RegistryData recorded;
    RegKey record;
    const LSTATUS opened = OpenRegistryKey(HKEY_LOCAL_MACHINE, SharedChangePath(kCrashControl), KEY_QUERY_VALUE, record);
    if (opened == ERROR_SUCCESS) recorded = ReadRegistryData(record.Get(), kCrashDumpEnabled, kRecordBytes);
    else if (opened != ERROR_FILE_NOT_FOUND) return Failed(session, L"RegOpenKeyEx", opened);
    if (recorded.status == ERROR_FILE_NOT_FOUND) {
        LogMessage(session, L"No record of CrashDumpEnabled, nothing to restore");
        return true;
    }
    if (recorded.status != ERROR_SUCCESS) return Failed(session, L"RegQueryValueEx", recorded.status);

    RegKey crashControl;
    const LSTATUS reopened = OpenRegistryKey(HKEY_LOCAL_MACHINE, kCrashControlKey, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                             crashControl);
    if (reopened != ERROR_SUCCESS && reopened != ERROR_FILE_NOT_FOUND)
        return Failed(session, L"RegOpenKeyEx", reopened);
    const RegistryData now = crashControl ? ReadRegistryData(crashControl.Get(), kCrashDumpEnabled, kRecordBytes)
                                          : RegistryData{};
    if (now.status != ERROR_SUCCESS && now.status != ERROR_FILE_NOT_FOUND && now.status != ERROR_MORE_DATA)
        return Failed(session, L"RegQueryValueEx", now.status);
    const bool stillComplete = now.status == ERROR_SUCCESS && now.type == REG_DWORD &&
                               now.bytes.size() == sizeof(DWORD) &&
                               *reinterpret_cast<const DWORD*>(now.bytes.data()) == kCompleteDump;
    if (!stillComplete) {
        LogMessage(session, L"CrashDumpEnabled changed since the installation, left as it is");
        return true;
    }
    if (recorded.type == REG_NONE && recorded.bytes.empty()) {
        const LSTATUS deleted = RegDeleteValueW(crashControl.Get(), kCrashDumpEnabled);
        if (deleted != ERROR_SUCCESS) return Failed(session, L"RegDeleteValue", deleted);
        LogMessage(session, L"Removed CrashDumpEnabled, as before");
        return true;
    }
    const LSTATUS written = RegSetValueExW(crashControl.Get(), kCrashDumpEnabled, 0, recorded.type,
                                           recorded.bytes.data(), static_cast<DWORD>(recorded.bytes.size()));
    if (written != ERROR_SUCCESS) return Failed(session, L"RegSetValueEx", written);
    if (recorded.type == REG_DWORD && recorded.bytes.size() == sizeof(DWORD))
        LogMessage(session, L"Restored CrashDumpEnabled to %lu", *reinterpret_cast<const DWORD*>(recorded.bytes.data()));
    else LogMessage(session, L"Restored CrashDumpEnabled as it was");
    return true;
}

// Deletes the record that has served; true when it is gone.
bool ForgetCrashDumpSetting(MSIHANDLE session) {
    RegKey record;
    LSTATUS status = OpenRegistryKey(HKEY_LOCAL_MACHINE, SharedChangePath(kCrashControl), KEY_SET_VALUE, record);
    if (status == ERROR_SUCCESS) status = RegDeleteValueW(record.Get(), kCrashDumpEnabled);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
    return Failed(session, record ? L"RegDeleteValue" : L"RegOpenKeyEx", status);
}

}  // namespace

// Type 3073, deferred, not impersonated (it writes the machine's crash
// control settings), after InstallFiles; reads ProductCode. Records the
// setting as it finds it, sets CrashDumpEnabled to 1, and records that the
// product needs it. Returns 0.
extern "C" UINT __stdcall ForceFullDump(MSIHANDLE session) {
    return kci::RunAction(session, L"ForceFullDump", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering ForceFullDump");
        RecordCrashDumpSetting(session);
        kci::RegKey key;
        const LSTATUS opened = kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kCrashControlKey, KEY_WRITE, key);
        if (opened != ERROR_SUCCESS) {
            LogMessage(session, L"RegOpenKey returned %lx", opened);
        } else {
            const LSTATUS written = RegSetValueExW(key.Get(), kCrashDumpEnabled, 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&kCompleteDump), sizeof(kCompleteDump));
            key.Close();
            if (written != ERROR_SUCCESS) {
                LogMessage(session, L"RegSetValueEx returned 0x%lx", written);
            } else {
                LogMessage(session, L"RegSetValueEx succeeded");
                kci::AddSharedReference(session, kci::kCrashControl, L"ForceFullDump");
            }
        }
        LogMessage(session, L"Exiting ForceFullDump");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, and type 3329 (rollback) just before ForceFullDump;
// reads ProductCode. Once no other product needs the complete dump, puts
// CrashDumpEnabled back as ForceFullDump found it, unless someone changed it
// since, and deletes the record. Returns 0 on every path.
extern "C" UINT __stdcall UndoForceFullDump(MSIHANDLE session) {
    return kci::RunAction(session, L"UndoForceFullDump", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering UndoForceFullDump");
        kci::UndoSharedChange(session, kci::kCrashControl, [&] {
            return RestoreCrashDumpSetting(session) && ForgetCrashDumpSetting(session);
        });
        LogMessage(session, L"Exiting UndoForceFullDump");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
