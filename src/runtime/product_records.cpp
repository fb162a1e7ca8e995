#include "runtime/product_records.h"

#include "runtime/core/product_code.h"
#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/log.h"
#include "runtime/property.h"
#include "runtime/registry.h"

namespace kci {
namespace {

// Longer value names than a path's are no product's: they count as none.
constexpr DWORD kValueNameChars = kPathChars;

// True when the key at `path` holds neither subkey nor value; false, logged
// where a call fails, otherwise.
bool IsEmptyKey(MSIHANDLE session, const std::wstring& path) {
    RegKey key;
    const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) {
        LogFailedCall(session, L"RegOpenKeyEx", opened);
        return false;
    }
    DWORD subkeys = 0, values = 0;
    const LSTATUS queried = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr);
    if (queried != ERROR_SUCCESS) LogFailedCall(session, L"RegQueryInfoKey", queried);
    return queried == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

bool KeyExists(const std::wstring& path) {
    RegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS;
}

}  // namespace

std::wstring LibraryKeyPath(const wchar_t* name) { return std::wstring(kLibraryKeyPath) + L"\\" + name; }

std::wstring SharedChangePath(const wchar_t* change) { return LibraryKeyPath(L"Shared") + L"\\" + change; }

std::optional<std::wstring> RunningProductCode(MSIHANDLE session) {
    const PropertyRead code = ReadProperty(session, L"ProductCode", kProductCodeChars);
    if (code.result != ERROR_SUCCESS) {
        LogMessage(session, L"%s returned %lu", L"MsiGetProperty", code.result);
        return std::nullopt;
    }
    if (!IsProductCode(code.value)) {
        LogMessage(session, L"ProductCode is not a product code: '%s'", code.value);
        return std::nullopt;
    }
    return code.value;
}

std::optional<int> CountProducts(MSIHANDLE session, HKEY key) {
    int products = 0;
    for (DWORD index = 0;; ++index) {
        const RegistryValue value = EnumRegistryValueName(key, index, kValueNameChars);
        if (value.status == ERROR_NO_MORE_ITEMS) return products;
        if (value.status == ERROR_SUCCESS) {
            products += value.type == REG_SZ && IsProductCode(value.name) &&
                        MsiQueryProductStateW(value.name.c_str()) != INSTALLSTATE_UNKNOWN;
        } else if (value.status != ERROR_MORE_DATA) {
            LogFailedCall(session, L"RegEnumValue", value.status);
            return std::nullopt;
        }
    }
}

void AddSharedReference(MSIHANDLE session, const wchar_t* change, const wchar_t* action) {
    const std::optional<std::wstring> product = RunningProductCode(session);
    if (!product) return;
    RegKey key;
    const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SharedChangePath(change).c_str(), 0, nullptr,
                                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
    if (created != ERROR_SUCCESS) return LogFailedCall(session, L"RegCreateKeyEx", created);
    const LSTATUS written = WriteRegistryText(key.Get(), product->c_str(), action);
    if (written != ERROR_SUCCESS) return LogFailedCall(session, L"RegSetValueEx", written);
    LogMessage(session, L"Product %s needs %s", *product, change);
}

bool ReleaseSharedReference(MSIHANDLE session, const wchar_t* change) {
    const std::optional<std::wstring> product = RunningProductCode(session);
    if (!product) return true;
    RegKey key;
    const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, SharedChangePath(change).c_str(), 0,
                                         KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
        LogFailedCall(session, L"RegOpenKeyEx", opened);
        return true;
    }
    const LSTATUS deleted = key ? RegDeleteValueW(key.Get(), product->c_str()) : ERROR_FILE_NOT_FOUND;
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        LogFailedCall(session, L"RegDeleteValue", deleted);
        return true;
    }
    LogMessage(session, L"Product %s no longer needs %s", *product, change);
    if (!key) return true;
    const std::optional<int> others = CountProducts(session, key.Get());
    if (!others || *others == 0) return true;
    LogMessage(session, L"Still needed by %d other products: %s kept", *others, change);
    return false;
}

void DeleteKeyAndEmptyParents(MSIHANDLE session, const std::wstring& path, FirstKey first) {
    const std::wstring last(kMakerKeyPath);
    bool onlyWhileEmpty = first == FirstKey::OnlyWhileEmpty;
    for (std::wstring key = path; key.size() >= last.size(); key.erase(key.rfind(L'\\'))) {
        if (KeyExists(key)) {
            if (onlyWhileEmpty && !IsEmptyKey(session, key)) return;
            const LSTATUS deleted = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
            if (deleted != ERROR_SUCCESS) return LogFailedCall(session, L"RegDeleteKey", deleted);
        }
        onlyWhileEmpty = true;
    }
}

}  // namespace kci
