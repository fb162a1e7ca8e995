// Any processor name the registry may hold must give a speed or one of the
// defined codes, never a crash or an out-of-range read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probes/core/processor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring name;
    for (std::size_t i = 0; i + 1 < size; i += 2) name.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const int speed = kci::SpeedFromNameString(name);
    const bool hasRun = name.find_first_of(L"0123456789.") != std::wstring::npos;
    if (speed < kci::kSpeedTooLarge || (!hasRun && speed != 0)) __builtin_trap();
    return 0;
}
