// What the library takes for a product code: the installer's ProductCode, a
// GUID in braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". The library's
// records under the machine's product keys name each product by it, and
// only names of that shape count as products.
#pragma once

#include <cstddef>
#include <string_view>

namespace kci {

// Characters of a product code, braces included.
inline constexpr std::size_t kProductCodeChars = 38;

// True when `name` has the shape of a product code: braces around five
// groups of 8, 4, 4, 4 and 12 hexadecimal digits (either case), joined by
// hyphens. Nothing else is one: no blank, no missing brace, no extra
// character.
bool IsProductCode(std::wstring_view name);

}  // namespace kci
