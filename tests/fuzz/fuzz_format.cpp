// Arbitrary format strings and arguments must never crash the formatter or
// produce a log line longer than the line buffer, nor its escape one more
// than four times as long.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/format.h"
#include "runtime/core/log_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring format;
    for (std::size_t i = 0; i + 1 < size; i += 2) format.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    std::uint32_t number = size >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24 : 0;
    std::wstring text = kci::Format(format.c_str(), number, static_cast<int>(number), format);
    const std::wstring line = kci::BuildLogLine(text);
    if (line.size() > kci::kLogLineMaxChars) __builtin_trap();
    if (kci::EscapeForTemplate(line).size() > 4 * line.size()) __builtin_trap();
    return 0;
}
