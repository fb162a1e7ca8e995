// Registry reads that always hand back terminated text.
//
// The registry stores data as the writer left it: a string value may lack its
// terminator, hold an odd number of bytes, or not be a string at all. These
// helpers read into a zeroed buffer one character larger than the room given
// to the registry, and cut the result at the first null, so the text never
// runs past what was read. Each takes its limit as characters of text: the
// registry is given room for that many and a terminator.
#pragma once

#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/handles.h"

namespace kci {

struct RegistryText {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::wstring text;  // empty unless status is ERROR_SUCCESS
};

// A value's type and data as stored, whatever they are.
struct RegistryData {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;  // empty unless status is ERROR_SUCCESS
};

struct RegistryValue {
    LSTATUS status = ERROR_NO_MORE_ITEMS;
    std::wstring name;  // empty unless status is ERROR_SUCCESS
    DWORD type = REG_NONE;  // a value's type; REG_NONE for a subkey
};

LSTATUS OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, RegKey& key);

// Writes `text` and its terminator as REG_SZ value `name` of an opened key.
LSTATUS WriteRegistryText(HKEY key, const wchar_t* name, const std::wstring& text);

// A string value of a key opened for reading, with the lines the actions log
// on the way: "RegOpenKey returned %lx" when the key cannot be opened,
// "RegQueryValueEx returned 0x%lx" when the value cannot be read, and
// "RegQueryValueEx returned a string: %s" when it is REG_SZ. A value of any
// other type is passed over without a line. Nothing unless it is a string;
// `failure`, where given, receives the failing open's or read's result (0 when
// neither failed).
std::optional<std::wstring> ReadLoggedString(MSIHANDLE session, HKEY root, const wchar_t* path, const wchar_t* name,
                                             DWORD textChars, LSTATUS* failure = nullptr);

// Reads value `name` (null for the default value) as text, whatever its type,
// with room for `textChars` characters and a terminator. Data stored without
// a terminator may fill the terminator's place too.
RegistryText ReadRegistryText(HKEY key, const wchar_t* name, DWORD textChars);

// Reads value `name` into a 32-bit number, whatever its type: data longer
// than four bytes gives ERROR_MORE_DATA and leaves `value` as it was.
LSTATUS ReadRegistryNumber(HKEY key, const wchar_t* name, DWORD& value);

// Reads value `name` as it is stored, of up to `maxBytes` bytes; a longer
// value gives ERROR_MORE_DATA and no data.
RegistryData ReadRegistryData(HKEY key, const wchar_t* name, DWORD maxBytes);

// The name of value `index` only, of up to `nameChars` characters; a longer
// name gives ERROR_MORE_DATA and no name; with its type. Read the data with
// ReadRegistryText.
RegistryValue EnumRegistryValueName(HKEY key, DWORD index, DWORD nameChars);

// The name of subkey `index`, in the same shape and under the same rule.
RegistryValue EnumRegistrySubkeyName(HKEY key, DWORD index, DWORD nameChars);

}  // namespace kci
