// Comparing names the way the platform's file names compare here.
#pragma once

#include <string_view>

namespace kci {

// True when the two texts have the same length and agree character by
// character once the letters A to Z are folded to a to z. Only ASCII letters
// fold: file systems disagree on case rules beyond them.
bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

}  // namespace kci
