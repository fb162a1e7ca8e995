#include "detection/core/image_name.h"

namespace kci {
namespace {

wchar_t FoldAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool SameImageName(std::wstring_view name, std::wstring_view target) {
    if (name.size() != target.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (FoldAsciiLetter(name[i]) != FoldAsciiLetter(target[i])) return false;
    return true;
}

std::wstring_view TextInBuffer(const wchar_t* buffer, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && buffer[length] != L'\0') ++length;
    return std::wstring_view(buffer, length);
}

std::wstring_view FileNameOfPath(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

}  // namespace kci
