#include "bench/components_bench.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace bench {

std::wstring ComponentReport(std::initializer_list<std::wstring> entries) {
    std::wstring text = L"The following error(s) occurred:\n";
    for (const auto& entry : entries) text += L"   - " + entry;
    return text + L"\nFinish install then use the Error Reporting Tool to report this problem";
}

void ExpectOneReport(const Session& session, const std::wstring& text) {
    auto errors = session.Messages(INSTALLMESSAGE_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].type, 0x01000000u);
    EXPECT_EQ(errors[0].FieldCount(), 2u);
    EXPECT_EQ(errors[0].Text(0), L"[1]");
    EXPECT_EQ(errors[0].Text(1), text);
}

void SetTargetPath(const Session& session, const std::wstring& directory, const std::wstring& path) {
    session.SetTargetPath(directory, path);
}

std::wstring Hex(DWORD code) {
    const wchar_t* digits = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[code % 16]);
        code /= 16;
    } while (code != 0);
    return L"0x" + text;
}

int IndexOfLogLine(const Session& session, const std::wstring& line) {
    const std::wstring wanted = L"CUSTOM IMMEDIATE ACTION   " + line;
    auto messages = session.Messages();
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i].kind() == INSTALLMESSAGE_INFO && messages[i].logged == wanted)
            return static_cast<int>(i);
    return -1;
}

int IndexOfKind(const Session& session, UINT kind) {
    auto messages = session.Messages();
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i].kind() == kind) return static_cast<int>(i);
    return -1;
}

RegistryValueOverride::RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name,
                                             const std::wstring& value)
    : RegistryValueOverride(root, path, name, REG_SZ,
                            std::vector<BYTE>(reinterpret_cast<const BYTE*>(value.c_str()),
                                              reinterpret_cast<const BYTE*>(value.c_str() + value.size() + 1))) {}

RegistryValueOverride::RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                                             const std::vector<BYTE>& data)
    : name_(name) {
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open " + Narrow(path));
    DWORD bytes = 0;
    existed_ = RegQueryValueExW(key_, name_.c_str(), nullptr, &type_, nullptr, &bytes) == ERROR_SUCCESS;
    if (existed_) {
        old_.resize(bytes);
        RegQueryValueExW(key_, name_.c_str(), nullptr, &type_, old_.data(), &bytes);
    }
    RegSetValueExW(key_, name_.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

RegistryValueOverride::~RegistryValueOverride() {
    if (existed_) RegSetValueExW(key_, name_.c_str(), 0, type_, old_.data(), static_cast<DWORD>(old_.size()));
    else RegDeleteValueW(key_, name_.c_str());
    RegCloseKey(key_);
}

}  // namespace bench
