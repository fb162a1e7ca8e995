#include "runtime/core/decimal.h"

#include <climits>

namespace kci {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

Decimal ReadDecimal(std::wstring_view text, std::size_t from, DecimalRules rules) {
    Decimal number;
    number.end = from;
    std::size_t i = from;
    bool negative = false;
    if (rules.start == DecimalStart::BlanksAndSign) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    }
    const std::size_t firstDigit = i;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit) {
            number.outOfRange = true;
            magnitude = limit;
        }
    }
    if (i == firstDigit) return number;
    number.end = i;
    if (number.outOfRange && rules.overflow == DecimalOverflow::NoNumber) return number;
    number.read = true;
    number.value = static_cast<int>(negative ? -magnitude : magnitude);
    return number;
}

}  // namespace kci
