#include "runtime/core/log_line.h"

namespace kci {

std::wstring BuildLogLine(const std::wstring& text) {
    std::wstring line = kLogPrefix;
    line += text;
    if (line.size() > kLogLineMaxChars) {
        line.resize(kLogLineMaxChars);
        wchar_t last = line.back();
        if (last >= 0xD800 && last <= 0xDBFF) line.pop_back();
    }
    return line;
}

std::wstring EscapeForTemplate(const std::wstring& line) {
    std::wstring escaped;
    escaped.reserve(line.size());
    for (wchar_t c : line) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            escaped += L"[\\";
            escaped += c;
            escaped += L']';
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace kci
