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
    UINT result = MsiSetTargetPathW(session.Handle(), directory.c_str(), path.c_str());
    if (result != ERROR_SUCCESS) throw std::runtime_error("MsiSetTargetPath failed: " + std::to_string(result));
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
        if (messages[i].kind() == INSTALLMESSAGE_INFO && messages[i].Text(0) == wanted)
            return static_cast<int>(i);
    return -1;
}

int IndexOfKind(const Session& session, UINT kind) {
    auto messages = session.Messages();
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i].kind() == kind) return static_cast<int>(i);
    return -1;
}

}  // namespace bench
