#include "runtime/registry.h"

#include <vector>

#include "runtime/log.h"

namespace kci {
namespace {

// Text from a buffer the registry filled with `bytes` bytes: an odd trailing
// byte is dropped and the text ends at the first null.
std::wstring TextFromBuffer(const std::vector<wchar_t>& buffer, DWORD bytes) {
    std::size_t chars = bytes / sizeof(wchar_t);
    if (chars > buffer.size() - 1) chars = buffer.size() - 1;
    std::size_t length = 0;
    while (length < chars && buffer[length] != L'\0') ++length;
    return std::wstring(buffer.data(), length);
}

// A value name the registry reported as `count` characters long, cut at the
// buffer's end and at its first null.
std::wstring NameFromBuffer(const std::vector<wchar_t>& buffer, DWORD count) {
    std::size_t length = count < buffer.size() - 1 ? count : buffer.size() - 1;
    std::wstring name(buffer.data(), length);
    return name.c_str();
}

// Runs one enumeration call on a zeroed name buffer with room for
// `nameChars` characters and the terminator, and one more.
template <class Enumerate>
RegistryValue NameAt(DWORD nameChars, Enumerate enumerate) {
    RegistryValue result;
    std::vector<wchar_t> name(nameChars + 2, L'\0');
    DWORD nameCount = nameChars + 1;
    result.status = enumerate(name.data(), &nameCount);
    if (result.status == ERROR_SUCCESS) result.name = NameFromBuffer(name, nameCount);
    return result;
}

}  // namespace

LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, RegKey& key) {
    return RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive());
}

LSTATUS WriteRegistryText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::wstring> ReadLoggedString(MSIHANDLE session, HKEY root, const wchar_t* path, const wchar_t* name,
                                             DWORD textChars, LSTATUS* failure) {
    RegKey key;
    const LSTATUS opened = OpenRegistryKey(root, path, KEY_READ, key);
    if (failure) *failure = opened;
    if (opened != ERROR_SUCCESS) {
        // Kept, "RegOpenKey" and hexadecimal without 0x: the Parts' words, which packages look for.
        LogMessage(session, L"RegOpenKey returned %lx", opened);
        return std::nullopt;
    }
    const RegistryText value = ReadRegistryText(key.Get(), name, textChars);
    if (failure) *failure = value.status;
    if (value.status != ERROR_SUCCESS) {
        LogMessage(session, L"RegQueryValueEx returned 0x%lx", value.status);
        return std::nullopt;
    }
    if (value.type != REG_SZ) return std::nullopt;
    LogMessage(session, L"RegQueryValueEx returned a string: %s", value.text);
    return value.text;
}

RegistryText ReadRegistryText(HKEY key, const wchar_t* name, DWORD textChars) {
    RegistryText result;
    std::vector<wchar_t> buffer(textChars + 2, L'\0');
    DWORD bytes = (textChars + 1) * sizeof(wchar_t);
    result.status = RegQueryValueExW(key, name, nullptr, &result.type,
                                     reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (result.status == ERROR_SUCCESS) result.text = TextFromBuffer(buffer, bytes);
    return result;
}

LSTATUS ReadRegistryNumber(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &bytes);
    if (status == ERROR_SUCCESS) value = number;
    return status;
}

RegistryData ReadRegistryData(HKEY key, const wchar_t* name, DWORD maxBytes) {
    RegistryData result;
    std::vector<BYTE> buffer(maxBytes);
    DWORD bytes = maxBytes;
    result.status = RegQueryValueExW(key, name, nullptr, &result.type, buffer.data(), &bytes);
    if (result.status == ERROR_SUCCESS) result.bytes.assign(buffer.begin(), buffer.begin() + bytes);
    return result;
}

RegistryValue EnumRegistryValueName(HKEY key, DWORD index, DWORD nameChars) {
    DWORD type = REG_NONE;
    RegistryValue value = NameAt(nameChars, [&](wchar_t* name, DWORD* count) {
        return RegEnumValueW(key, index, name, count, nullptr, &type, nullptr, nullptr);
    });
    value.type = type;
    return value;
}

RegistryValue EnumRegistrySubkeyName(HKEY key, DWORD index, DWORD nameChars) {
    return NameAt(nameChars, [&](wchar_t* name, DWORD* count) {
        return RegEnumKeyExW(key, index, name, count, nullptr, nullptr, nullptr, nullptr);
    });
}

}  // namespace kci
