#include "runtime/core/final_path.h"

#include "runtime/core/ascii_case.h"

namespace kci {

std::vector<std::wstring> FoldersOnTheWay(const std::wstring& base, const std::wstring& below, bool includeTarget) {
    std::vector<std::wstring> folders{base};
    const std::wstring target = base + below;
    for (std::size_t at = target.find(L'\\', base.size() + 1); at != std::wstring::npos; at = target.find(L'\\', at + 1))
        if (target[at - 1] != L'\\') folders.push_back(target.substr(0, at));
    if (includeTarget && target.size() > base.size()) folders.push_back(target);
    return folders;
}

bool IsFinalPathOf(std::wstring_view finalPath, std::wstring_view meant) {
    constexpr std::wstring_view kLocal = L"\\\\?\\", kUnc = L"\\\\?\\UNC\\", kShare = L"\\\\";
    if (finalPath.substr(0, kUnc.size()) == kUnc)
        return meant.substr(0, kShare.size()) == kShare &&
               SameIgnoringAsciiCase(finalPath.substr(kUnc.size()), meant.substr(kShare.size()));
    return finalPath.substr(0, kLocal.size()) == kLocal && SameIgnoringAsciiCase(finalPath.substr(kLocal.size()), meant);
}

ReparseKind ReparseKindOf(bool isReparsePoint, std::uint32_t tag) {
    constexpr std::uint32_t kNameSurrogate = 0x20000000;
    if (!isReparsePoint) return ReparseKind::Plain;
    return tag == 0 || (tag & kNameSurrogate) != 0 ? ReparseKind::Link : ReparseKind::Plain;
}

}  // namespace kci
