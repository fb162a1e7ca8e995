#include "profiles/core/profile_paths.h"

namespace kci {
namespace {

// The text before the last backslash; empty when there is none.
std::wstring BeforeLastBackslash(const std::wstring& path) {
    const std::size_t at = path.rfind(L'\\');
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

// The text up to and including the last backslash; empty when there is none.
std::wstring ThroughLastBackslash(const std::wstring& path) {
    const std::size_t at = path.rfind(L'\\');
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

}  // namespace

std::optional<std::vector<wchar_t>> SingleNameList(const std::wstring& name, std::size_t capacity) {
    if (name.empty() || name.find(L'\0') != std::wstring::npos) return std::nullopt;
    if (capacity < 2 || name.size() > capacity - 2) return std::nullopt;
    std::vector<wchar_t> list(capacity, L'\0');
    name.copy(list.data(), name.size());
    return list;
}

ProfileCuts CutCommonAppData(const std::wstring& commonAppData) {
    ProfileCuts cuts;
    cuts.allUsers = BeforeLastBackslash(commonAppData);
    cuts.root = ThroughLastBackslash(cuts.allUsers);
    return cuts;
}

bool IsProfileEntry(const std::wstring& name, bool isDirectory) {
    return isDirectory && !name.empty() && name[0] != L'.';
}

std::wstring InstallDirectoryForLogs(const std::wstring& targetPath) {
    if (!targetPath.empty() && (targetPath.back() == L'\\' || targetPath.back() == L'/'))
        return targetPath.substr(0, targetPath.size() - 1);
    return targetPath;
}

}  // namespace kci
