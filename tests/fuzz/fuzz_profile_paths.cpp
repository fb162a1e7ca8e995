// Any folder for the profile cuts and the log folder: every cut is a prefix
// of what it was cut from, and the folders on a removal's way start at its
// base and grow, each a prefix of the next; a path is the one its local final
// path names and never its own final path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "profiles/core/profile_paths.h"

namespace {

bool IsPrefix(const std::wstring& part, const std::wstring& whole) { return whole.compare(0, part.size(), part) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t capacity = data[0] * 2u;
    std::wstring text;
    for (std::size_t i = 1; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i] == 'S' ? L'\\' : data[i]));

    const kci::ProfileCuts cuts = kci::CutCommonAppData(text);
    if (!IsPrefix(cuts.allUsers, text) || !IsPrefix(cuts.root, cuts.allUsers)) __builtin_trap();
    if (kci::IsBareRoot(cuts.root) && cuts.root.size() > 3 && cuts.root.compare(0, 2, L"\\\\") != 0) __builtin_trap();
    const std::size_t split = text.find(L'\\') == std::wstring::npos ? text.size() : text.find(L'\\');
    const std::wstring base = text.substr(0, split), below = text.substr(split);
    const auto way = kci::FoldersOnTheWay(base, below, capacity % 4 == 0);
    if (way.empty() || way.front() != base) __builtin_trap();
    for (std::size_t i = 1; i < way.size(); ++i)
        if (way[i].size() <= way[i - 1].size() || !IsPrefix(way[i - 1], way[i]) || !IsPrefix(way[i], text)) __builtin_trap();
    const std::wstring install = kci::InstallDirectoryForLogs(text);
    if (!IsPrefix(install, text) || text.size() - install.size() > 1) __builtin_trap();
    const bool uncForm = text.compare(0, 4, L"UNC\\") == 0;
    if (kci::IsFinalPathOf(L"\\\\?\\" + text, text) == uncForm || kci::IsFinalPathOf(text, text)) __builtin_trap();
    return 0;
}
