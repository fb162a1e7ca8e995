// Where the media transport driver lives unless its service says otherwise.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "runtime/core/text_limits.h"

namespace kci {

// The media driver's folder, one character longer than a path read: it is
// built to fit the folder property's buffer, 261 with the terminator
// (tests/BOUNDS.md, the rows of kRtmxFolderChars).
inline constexpr std::size_t kRtmxFolderChars = kPathChars + 1;
// Taken when the common files folder cannot be asked for.
inline constexpr wchar_t kFallbackCommonFiles[] = L"C:\\Program Files\\Common Files\\";

// The driver's folder beneath `commonFiles`, joined with one backslash, or
// nothing when it would be longer than kRtmxFolderChars characters.
std::optional<std::wstring> DefaultRtmxFolder(const std::wstring& commonFiles);

}  // namespace kci
