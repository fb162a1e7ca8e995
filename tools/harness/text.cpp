#include "harness/text.h"

#include <atomic>
#include <cwchar>
#include <stdexcept>

namespace harness {

std::wstring UniqueTempPath(const std::wstring& prefix, const std::wstring& suffix) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // Of one length, so that a path below it logs alike from run to run.
    wchar_t unique[32] = {};
    swprintf(unique, 32, L"%08lx_%08lx_%06x", GetCurrentProcessId(), GetTickCount(), ++counter);
    return std::wstring(temp) + prefix + unique + suffix;
}

std::string Narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

void Check(UINT result, const char* what) {
    if (result != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

}  // namespace harness
