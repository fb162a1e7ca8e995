#include "runtime/core/product_code.h"

namespace kci {
namespace {

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

}  // namespace

bool IsProductCode(std::wstring_view name) {
    // Where the hyphens stand in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
    constexpr std::size_t kHyphens[] = {9, 14, 19, 24};
    if (name.size() != kProductCodeChars || name.front() != L'{' || name.back() != L'}') return false;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        bool hyphenPlace = false;
        for (std::size_t at : kHyphens) hyphenPlace = hyphenPlace || at == i;
        if (hyphenPlace ? name[i] != L'-' : !IsHexDigit(name[i])) return false;
    }
    return true;
}

}  // namespace kci
