// Reading a decimal number at the start of a text, as scanf's %d does.
#pragma once

#include <string_view>

namespace kci {

struct LeadingInteger {
    bool read = false;        // false: no digits, or a number outside the 32-bit range
    bool outOfRange = false;  // digits, but too many for a 32-bit number
    int value = 0;            // 0 unless read
};

// Skips leading blanks, takes an optional sign and then the decimal digits
// that follow; whatever comes after them is ignored.
LeadingInteger ReadLeadingInteger(std::wstring_view text);

}  // namespace kci
