// The text limits shared by the library's fixed reads, each named once. A
// limit counts characters of text; the buffer read into holds one more, for
// the terminator. tests/BOUNDS.md gives each limit's row and the test that
// holds it at n-1, n and n+1.
#pragma once

#include <cstddef>

namespace kci {

// The platform's path limit, 260 with the terminator: paths, folders and
// names read from properties, target paths and the registry (tests/BOUNDS.md,
// the rows of kPathChars).
inline constexpr std::size_t kPathChars = 259;

// "ProductLanguage" and "ProductVersion", 256 with the terminator
// (tests/BOUNDS.md, the row of kProductPropertyChars).
inline constexpr std::size_t kProductPropertyChars = 255;

}  // namespace kci
