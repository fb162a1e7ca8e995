#include "runtime/core/catalogue_core.h"

#include <cstdint>

#include "runtime/core/decimal.h"

namespace kci {

std::uint16_t ParseLanguageId(const std::wstring& text) {
    const int value = ReadDecimal(text, 0, {DecimalStart::BlanksAndSign, DecimalOverflow::Clamped}).value;
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
