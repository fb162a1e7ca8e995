#include "components/core/rtmx_folder.h"

namespace kci {

std::optional<std::wstring> DefaultRtmxFolder(const std::wstring& commonFiles) {
    std::wstring folder = commonFiles;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    folder += L"Tenvor Systems\\Media Driver";
    if (folder.size() > kFolderChars) return std::nullopt;
    return folder;
}

}  // namespace kci
