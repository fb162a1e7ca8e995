#include "runtime/reboot_request.h"

#include <msiquery.h>

#include <string>

#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/product_records.h"
#include "runtime/property.h"
#include "runtime/registry.h"

namespace kci {
namespace {

constexpr wchar_t kRebootPending[] = L"RebootPending";
// An action's name, as recorded.
constexpr DWORD kActionNameChars = kPathChars;

void SetRebootAtEnd(MSIHANDLE session) {
    const UINT set = MsiSetMode(session, MSIRUNMODE_REBOOTATEND, TRUE);
    if (set != ERROR_SUCCESS) LogMessage(session, L"MsiSetMode(REBOOTATEND) returned %u", set);
}

// The library's key is made an ordinary one first: a volatile key takes no
// ordinary key below it (1021), and the shared records live there too.
void RecordReboot(MSIHANDLE session, const wchar_t* action) {
    const std::optional<std::wstring> product = RunningProductCode(session);
    if (!product) return;
    RegKey library, pending;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLibraryKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_CREATE_SUB_KEY, nullptr, library.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return LogFailedCall(session, L"RegCreateKeyEx", status);
    status = RegCreateKeyExW(library.Get(), kRebootPending, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr,
                             pending.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return LogFailedCall(session, L"RegCreateKeyEx", status);
    status = WriteRegistryText(pending.Get(), product->c_str(), action);
    if (status != ERROR_SUCCESS) return LogFailedCall(session, L"RegSetValueEx", status);
    LogMessage(session, L"Reboot request recorded for %s", *product);
}

}  // namespace

void RequestRebootAtEnd(MSIHANDLE session, const wchar_t* action) {
    if (!RunsFromScript(session)) return SetRebootAtEnd(session);
    // Kept from the script although Windows drops it there: Wine honours it.
    MsiSetMode(session, MSIRUNMODE_REBOOTATEND, TRUE);
    if (!RunsAtCommit(session)) RecordReboot(session, action);
}

void TakeRecordedReboot(MSIHANDLE session) {
    const std::optional<std::wstring> product = RunningProductCode(session);
    RegKey pending;
    const std::wstring pendingPath = LibraryKeyPath(kRebootPending);
    const LSTATUS opened =
        product ? OpenRegistryKey(HKEY_LOCAL_MACHINE, pendingPath, KEY_QUERY_VALUE, pending) : ERROR_FILE_NOT_FOUND;
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) LogFailedCall(session, L"RegOpenKeyEx", opened);
    const RegistryText action = pending ? ReadRegistryText(pending.Get(), product->c_str(), kActionNameChars)
                                        : RegistryText{};
    if (action.status != ERROR_SUCCESS && action.status != ERROR_FILE_NOT_FOUND)
        LogFailedCall(session, L"RegQueryValueEx", action.status);
    if (action.status != ERROR_SUCCESS) return LogMessage(session, L"No reboot asked for");
    LogMessage(session, L"A deferred action asked for a reboot: %s", action.text);
    SetRebootAtEnd(session);
    // Under UAC this immediate action is refused the write access: the record,
    // volatile, then goes with the restart it asks for
    // (StandardUser.ImmediateRowsFailWhereWindowsRefusesThem).
    const LSTATUS writable = OpenRegistryKey(HKEY_LOCAL_MACHINE, pendingPath, KEY_SET_VALUE, pending);
    if (writable != ERROR_SUCCESS) return LogFailedCall(session, L"RegOpenKeyEx", writable);
    const LSTATUS deleted = RegDeleteValueW(pending.Get(), product->c_str());
    pending.Close();
    if (deleted != ERROR_SUCCESS) return LogFailedCall(session, L"RegDeleteValue", deleted);
    DeleteKeyAndEmptyParents(session, pendingPath, FirstKey::OnlyWhileEmpty);
}

}  // namespace kci
