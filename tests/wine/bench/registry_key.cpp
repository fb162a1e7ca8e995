#include "bench/registry_key.h"

#include <shlwapi.h>

#include <stdexcept>

#include "harness/text.h"

namespace bench {

RegistryKey::RegistryKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.Receive(), nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create key " + harness::Narrow(path_));
}

RegistryKey::~RegistryKey() {
    key_.Close();
    SHDeleteKeyW(root_, path_.c_str());
}

RegistryKey& RegistryKey::SetString(const std::wstring& name, const std::wstring& value, DWORD type) {
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(value.c_str()),
                            reinterpret_cast<const BYTE*>(value.c_str() + value.size() + 1));
    return SetBytes(name, type, bytes);
}

RegistryKey& RegistryKey::SetBytes(const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes) {
    RegSetValueExW(key_.Get(), name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    return *this;
}

RegistryKey& RegistryKey::SetDword(const std::wstring& name, DWORD value) {
    RegSetValueExW(key_.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return *this;
}

}  // namespace bench
