#include "runtime/core/catalogue_core.h"

#include <cstdint>
#include <limits>

namespace kci {

std::uint16_t ParseLanguageId(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';

    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > kMax + 1) value = kMax + 1;  // stays clamped from here on
    }
    if (negative) value = -value;
    if (value > kMax) value = kMax;
    if (value < kMin) value = kMin;

    auto language = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFF);
    return language == 0 ? kDefaultLanguage : language;
}

std::optional<std::wstring> FindStringInBlock(const std::uint16_t* block, std::size_t units, unsigned slot) {
    if (block == nullptr || slot >= 16) return std::nullopt;
    std::size_t pos = 0;
    for (unsigned entry = 0; entry < 16; ++entry) {
        if (pos >= units) return std::nullopt;
        std::size_t count = block[pos++];
        if (count > units - pos) return std::nullopt;
        if (entry == slot) {
            if (count == 0) return std::nullopt;
            if (count > kCatalogueBufferChars - 1) {
                count = kCatalogueBufferChars - 1;
                if (block[pos + count - 1] >= 0xD800 && block[pos + count - 1] <= 0xDBFF) --count;
            }
            return std::wstring(block + pos, block + pos + count);
        }
        pos += count;
    }
    return std::nullopt;
}

}  // namespace kci
