// Where the media transport driver lives unless its service says otherwise.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kci {

// Folder buffers hold this many characters of text, plus a terminator.
inline constexpr std::size_t kFolderChars = 260;
// Taken when the common files folder cannot be asked for.
inline constexpr wchar_t kFallbackCommonFiles[] = L"C:\\Program Files\\Common Files\\";

// The driver's folder beneath `commonFiles`, joined with one backslash, or
// nothing when it would not fit in kFolderChars characters.
std::optional<std::wstring> DefaultRtmxFolder(const std::wstring& commonFiles);

}  // namespace kci
