#include "runtime/core/decimal.h"

#include <climits>

namespace kci {

LeadingInteger ReadLeadingInteger(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';

    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit) return {false, true, 0};
    }
    if (digits == 0) return {};
    return {true, false, static_cast<int>(negative ? -magnitude : magnitude)};
}

}  // namespace kci
