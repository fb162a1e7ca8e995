// Registry keys a test creates and always deletes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/handles.h"

namespace bench {

// A registry key the test creates and deletes again with all below it.
class RegistryKey {
public:
    RegistryKey(HKEY root, std::wstring path);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    RegistryKey& SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
    // Data exactly as given, for values that are not well-formed strings.
    RegistryKey& SetBytes(const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes);
    RegistryKey& SetDword(const std::wstring& name, DWORD value);

private:
    HKEY root_;
    std::wstring path_;
    kci::UniqueHandle<kci::RegKeyTraits> key_;
};

}  // namespace bench
