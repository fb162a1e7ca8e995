// Any string-table block, however short or inconsistent its counts, must be
// walked without reading past it, and a text found fits the catalogue buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/catalogue_core.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned slot = data[0] % 16;
    // An exactly sized copy, so that the sanitizer sees any read past the block.
    std::vector<std::uint16_t> block((size - 1) / 2);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint16_t>(data[1 + 2 * i] | (data[2 + 2 * i] << 8));
    const auto text = kci::FindStringInBlock(block.data(), block.size(), slot);
    if (text && (text->empty() || text->size() >= kci::kCatalogueBufferChars)) __builtin_trap();
    return 0;
}
