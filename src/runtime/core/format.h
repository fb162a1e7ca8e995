// Type-safe printf-style formatting for log lines.
//
// Follows the conventions the action log uses: %s a wide string, %d/%i a
// signed 32-bit value, %u unsigned, %x/%X (with or without l) an unsigned
// 32-bit value in hexadecimal, flags '-', '0', '+', ' ', '#', a width and a
// precision, and %%. Integers are always rendered with 32-bit semantics so
// that a HRESULT or DWORD prints the same on every toolchain.
//
// Mismatches never read past the argument list: a directive without an
// argument, or with an unknown conversion, is copied as written; %s given a
// number prints it in decimal; a number directive given text prints the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace kci {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Text };

    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                            !std::is_same_v<T, char> && !std::is_same_v<T, wchar_t>,
                                        int> = 0>
    FormatArg(T value)  // NOLINT: implicit by design
        : kind_(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned),
          number_(static_cast<std::int64_t>(value)) {}

    FormatArg(const wchar_t* text) : kind_(Kind::Text), text_(text ? text : L"(null)") {}
    FormatArg(const std::wstring& text) : kind_(Kind::Text), text_(text) {}
    FormatArg(std::wstring_view text) : kind_(Kind::Text), text_(text) {}
    // Narrow text has no place in a wide log line; catch it at compile time.
    FormatArg(const char*) = delete;
    FormatArg(bool) = delete;

    Kind kind() const { return kind_; }
    std::int32_t asSigned() const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(number_)); }
    std::uint32_t asUnsigned() const { return static_cast<std::uint32_t>(number_); }
    std::wstring_view text() const { return text_; }

private:
    Kind kind_;
    std::int64_t number_ = 0;
    std::wstring_view text_;
};

std::wstring FormatText(const wchar_t* format, std::initializer_list<FormatArg> args);

template <class... Args>
std::wstring Format(const wchar_t* format, const Args&... args) {
    return FormatText(format, {FormatArg(args)...});
}

}  // namespace kci
