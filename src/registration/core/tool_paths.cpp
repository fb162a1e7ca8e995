#include "registration/core/tool_paths.h"

#include "runtime/core/command_line.h"

namespace kci {

RuntimeTool RuntimeToolPath(const std::wstring& windir, const wchar_t* suffix, std::size_t pathChars) {
    if (windir.size() > kWindirChars) return {WindirFault::TooLong, L""};
    std::wstring path = windir + suffix;
    if (path.size() >= pathChars) return {WindirFault::TooLong, L""};
    if (!IsAbsolutePath(windir)) return {WindirFault::NotAbsolute, L""};
    return {WindirFault::None, path};
}

bool IsToolFolder(const std::wstring& folder) { return IsAbsolutePath(folder) && folder.back() == L'\\'; }

std::wstring HttpcfgPath(const std::wstring& folder) { return folder + L"httpcfg.exe"; }

std::wstring NetshPath(const std::wstring& systemFolder) { return JoinPath(systemFolder, L"netsh.exe"); }

}  // namespace kci
