// Arbitrary CustomActionData must never crash the split, and the split must
// either give nothing or the whole map the text describes; never a part of it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/core/custom_action_data.h"

namespace {

// The first byte chooses how the rest becomes text: one byte a character
// (bars are then easy to find) or two bytes a UTF-16 code unit.
std::wstring Decode(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    if (size == 0) return text;
    if (data[0] & 1) {
        for (std::size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    } else {
        for (std::size_t i = 1; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    }
    return text;
}

// The map worked out another way: cut the text at every bar; the pieces are
// name, value, name, value...; a well-formed text has an odd number of bars.
bool Expected(const std::wstring& text, kci::NameValueMap& pairs) {
    std::vector<std::wstring> pieces(1);
    for (wchar_t c : text) {
        if (c == L'|') pieces.emplace_back();
        else pieces.back().push_back(c);
    }
    if (pieces.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < pieces.size(); i += 2) pairs.emplace(pieces[i], pieces[i + 1]);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = Decode(data, size);
    kci::NameValueMap expected;
    const bool wellFormed = Expected(text, expected);
    const std::optional<kci::NamedValues> pairs = kci::SplitCustomActionData(text);
    if (pairs.has_value() != wellFormed || (pairs && kci::FirstValues(*pairs) != expected)) __builtin_trap();
    return 0;
}
