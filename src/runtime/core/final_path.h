// Where a held entry of the file system really is, and what counts as a
// link on the way, free of platform calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kci {

// The folders a removal passes on its way from `base` (a profile or a known
// folder) to `base + below`, where `below` begins with a backslash: `base`
// itself and every folder under it, outermost first, and, when
// `includeTarget`, the removed folder too.
std::vector<std::wstring> FoldersOnTheWay(const std::wstring& base, const std::wstring& below, bool includeTarget);

// True when `finalPath`, a handle's final path as the platform gives it
// ("\\?\C:\x\y", or "\\?\UNC\server\share\x"), names the path `meant`
// ("C:\x\y", or "\\server\share\x"), letters A to Z in either case. Any other
// form of final path names nothing meant.
bool IsFinalPathOf(std::wstring_view finalPath, std::wstring_view meant);

// How a removal or a copy treats an entry marked as a reparse point, by its
// tag. Only a name surrogate (a junction or mount point, a symbolic link: the
// tags IsReparseTagNameSurrogate accepts, bit 0x20000000) leads elsewhere.
// Cloud placeholders, deduplicated and compressed files are only stored
// differently and count as plain entries. A tag of 0 is none the platform
// gives a reparse point: the tag could not be read, and it counts as a link.
enum class ReparseKind { Plain, Link };
ReparseKind ReparseKindOf(bool isReparsePoint, std::uint32_t tag);

}  // namespace kci
