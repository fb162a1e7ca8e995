// The shape of one line in the installer log.
#pragma once

#include <cstddef>
#include <string>

namespace kci {

inline constexpr wchar_t kLogPrefix[] = L"CUSTOM IMMEDIATE ACTION   ";
// The line buffer holds four path lengths of characters, terminator included
// (tests/BOUNDS.md, the row of kLogLineBufferChars).
inline constexpr std::size_t kLogLineBufferChars = 1040;
inline constexpr std::size_t kLogLineMaxChars = kLogLineBufferChars - 1;

// Prefix plus text, cut at the end of the line buffer. A cut never leaves half
// of a UTF-16 surrogate pair behind.
std::wstring BuildLogLine(const std::wstring& text);

}  // namespace kci
