// Platform-free parts of the message catalogue: the package language and the
// walk of one string-table block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kci {

// Texts are returned in a buffer of this many characters, terminator included
// (tests/BOUNDS.md, the row of kCatalogueBufferChars).
inline constexpr std::size_t kCatalogueBufferChars = 256;
inline constexpr std::uint16_t kDefaultLanguage = 1033;

// "ProductLanguage" as the installer stores it, read like a C decimal: leading
// white space and a sign, digits up to the first other character, clamped to
// the 32-bit range. The low 16 bits are the language; 0 means US English.
std::uint16_t ParseLanguageId(const std::wstring& text);

// The resource block and slot that hold catalogue text `number`.
inline std::uint16_t StringBlockId(unsigned number) { return static_cast<std::uint16_t>(number / 16 + 1); }
inline unsigned StringBlockSlot(unsigned number) { return number % 16; }

// Walks a string-table block (16 entries of a 16-bit count followed by that
// many UTF-16 units) and returns the text in `slot`, or nothing when the slot
// is empty or the block is shorter than its counts claim. A text longer than
// the catalogue buffer is cut to fit it.
std::optional<std::wstring> FindStringInBlock(const std::uint16_t* block, std::size_t units, unsigned slot);

}  // namespace kci
