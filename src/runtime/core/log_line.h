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

// The installer formats a log line before it writes it: brackets name
// properties, variables, files and components, braces group them. Each of
// the four characters becomes the installer's escape for a literal character
// ("[" is written "[\[]"), so that the line is written as it was built. The
// result is up to four times as long as `line`, in a growable string.
std::wstring EscapeForTemplate(const std::wstring& line);

}  // namespace kci
