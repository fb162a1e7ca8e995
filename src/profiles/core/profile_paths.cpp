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

ProfileCuts CutCommonAppData(const std::wstring& commonAppData) {
    ProfileCuts cuts;
    cuts.allUsers = BeforeLastBackslash(commonAppData);
    cuts.root = ThroughLastBackslash(cuts.allUsers);
    return cuts;
}

bool IsBareRoot(const std::wstring& root) {
    std::wstring top = root;
    if (!top.empty() && top.back() == L'\\') top.pop_back();
    if (top.empty() || (top.size() == 2 && top[1] == L':')) return true;
    // "\\server" or "\\server\share": a share's own root.
    if (top.compare(0, 2, L"\\\\") != 0) return false;
    const std::size_t share = top.find(L'\\', 2);
    return share == std::wstring::npos || top.find(L'\\', share + 1) == std::wstring::npos;
}

bool IsProfileEntry(const std::wstring& name, bool isDirectory, bool isLink) {
    return isDirectory && !isLink && !name.empty() && name[0] != L'.';
}

std::wstring InstallDirectoryForLogs(const std::wstring& targetPath) {
    if (!targetPath.empty() && (targetPath.back() == L'\\' || targetPath.back() == L'/'))
        return targetPath.substr(0, targetPath.size() - 1);
    return targetPath;
}

}  // namespace kci
