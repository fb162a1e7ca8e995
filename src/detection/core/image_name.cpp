#include "detection/core/image_name.h"

#include "runtime/core/ascii_case.h"

namespace kci {

bool SameImageName(std::wstring_view name, std::wstring_view target) { return SameIgnoringAsciiCase(name, target); }

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
