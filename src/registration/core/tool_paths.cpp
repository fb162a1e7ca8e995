#include "registration/core/tool_paths.h"

namespace kci {

std::optional<std::wstring> RuntimeToolPath(const std::wstring& windir, const wchar_t* suffix, std::size_t pathChars) {
    if (windir.size() >= kWindirChars) return std::nullopt;
    std::wstring path = windir + suffix;
    if (path.size() >= pathChars) return std::nullopt;
    return path;
}

std::wstring HttpcfgPath(const std::wstring& folder) { return folder + L"httpcfg.exe"; }

}  // namespace kci
