// Reading a decimal number in a text, as the C library's scanners do.
#pragma once

#include <cstddef>
#include <string_view>

namespace kci {

// Where the texts this library reads differ in what they allow.
enum class DecimalStart {
    BlanksAndSign,  // white space and then one sign may come first, as scanf's %d allows
    DigitsOnly,     // the number is the digits at the very start
};
enum class DecimalOverflow {
    NoNumber,  // a number beyond the 32-bit range reads as none (read false, value 0)
    Clamped,   // it is held at the nearest end of the range
};
struct DecimalRules {
    DecimalStart start = DecimalStart::BlanksAndSign;
    DecimalOverflow overflow = DecimalOverflow::NoNumber;
};

struct Decimal {
    bool read = false;        // digits were read (and, unless clamped, fit)
    bool outOfRange = false;  // more digits than a 32-bit number holds
    int value = 0;            // 0 unless read
    std::size_t end = 0;      // just past the digits; where reading began when none were read
};

// Reads the number that starts at `from` in `text`; whatever follows its
// digits is left alone.
Decimal ReadDecimal(std::wstring_view text, std::size_t from = 0, DecimalRules rules = {});

}  // namespace kci
