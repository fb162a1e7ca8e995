// What the processor probes decide from the numbers the machine gives them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kci {

// The speed in MHz written in a processor's marketing name: the first run of
// digits and dots followed by "GHz" or "MHz" (any case, one blank allowed
// between). Gigahertz with any number of decimals become megahertz ("2.40GHz"
// gives 2400, "1.86 GHz" 1860, "3GHz" 3000); megahertz are read as they
// stand. 0 when no run is followed by a unit; kSpeedTwoDots when a gigahertz
// run holds more than one dot; kSpeedTooLarge when it is no 32-bit number.
inline constexpr int kSpeedTwoDots = -3;
inline constexpr int kSpeedTooLarge = -4;
int SpeedFromNameString(std::wstring_view name);

// The four registers one CPUID leaf returns.
struct CpuidWords {
    std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// True when leaf 0 names an Intel or AMD processor that has leaf 1, and leaf
// 1's EDX has both MMX (bit 23) and SSE (bit 25).
bool HasMinimumInstructionSet(const CpuidWords& leaf0, const CpuidWords& leaf1);

}  // namespace kci
