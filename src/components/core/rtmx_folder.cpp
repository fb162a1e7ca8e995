#include "components/core/rtmx_folder.h"

#include "runtime/core/command_line.h"

namespace kci {

std::optional<std::wstring> DefaultRtmxFolder(const std::wstring& commonFiles) {
    const std::wstring folder = JoinPath(commonFiles, L"Tenvor Systems\\Media Driver");
    if (folder.size() > kRtmxFolderChars) return std::nullopt;
    return folder;
}

}  // namespace kci
