#include <gtest/gtest.h>

#include <string>

#include "probes/core/processor.h"

using namespace kci;

TEST(ProcessorName, SpeedFromTheFirstRunFollowedByGhzOrMhz) {
    struct Case { const wchar_t* name; int speed; };
    const Case cases[] = {
        {L"Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", 3200},       // the model number comes first
        {L"Intel(R) Core(TM)2 Duo CPU     T7500  @ 2.20GHz", 2200},
        {L"Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz", 2400},
        {L"Intel(R) Pentium(R) 4 CPU 3.00GHz", 3000},
        {L"Intel(R) Pentium(R) III CPU family      1266MHz", 1266},
        {L"12th Gen Intel(R) Core(TM) i7-12700H", 0},
        {L"AMD Ryzen 7 5800X 8-Core Processor", 0},
        {L"AMD Athlon(tm) 64 X2 Dual Core Processor 4200+", 0},
        {L"AMD A10-7850K Radeon R7, 12 Compute Cores 4C+8G", 0},  // G, but no Hz
        {L"CPU 3GHz", 3000},                     // no dot: times 1000
        {L"CPU 1.86 ghz", 1860},                 // one blank, any case
        {L"CPU 2.4  GHz", 0},                    // two blanks
        {L"CPU 1.23456GHz", 1234},               // more decimals are cut
        {L"CPU 933.3 MHz", 933},
        {L"CPU 2.4GHz (turbo 3.1GHz)", 2400},    // the first wins
        {L"CPU 1.2.3GHz", kSpeedTwoDots},
        {L"CPU 99999999GHz", kSpeedTooLarge},
        {L"Pentium(R) M 1.86", 0},               // no unit
        {L"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SpeedFromNameString(c.name), c.speed) << testing::PrintToString(c.name);
}

namespace {

// CPUID leaf 0 as a processor of `vendor` returns it: EBX, EDX, ECX.
CpuidWords Leaf0(const char (&vendor)[13], std::uint32_t maxLeaf = 1) {
    std::uint32_t words[3] = {};
    for (int i = 11; i >= 0; --i) words[i / 4] = words[i / 4] << 8 | static_cast<unsigned char>(vendor[i]);
    return {maxLeaf, words[0], words[2], words[1]};
}

CpuidWords Leaf1(std::uint32_t edx) { return {0, 0, 0, edx}; }

}  // namespace

TEST(InstructionSet, IntelOrAmdWithMmxAndSse) {
    constexpr std::uint32_t kMmx = 1u << 23, kSse = 1u << 25;
    struct Case { const char* what; CpuidWords leaf0, leaf1; bool has; };
    const Case cases[] = {
        {"Intel with both", Leaf0("GenuineIntel"), Leaf1(kMmx | kSse | 1), true},
        {"AMD with both", Leaf0("AuthenticAMD"), Leaf1(kMmx | kSse), true},
        {"Intel without SSE", Leaf0("GenuineIntel"), Leaf1(kMmx), false},
        {"Intel without MMX", Leaf0("GenuineIntel"), Leaf1(kSse), false},
        {"another vendor with both", Leaf0("CentaurHauls"), Leaf1(kMmx | kSse), false},
        // "GenuineIntel" when read as EBX, ECX, EDX instead
        {"vendor text in the wrong register order", Leaf0("GenuntelineI"), Leaf1(kMmx | kSse), false},
        {"no leaf 1", Leaf0("GenuineIntel", 0), Leaf1(kMmx | kSse), false},
    };
    for (const auto& c : cases) EXPECT_EQ(HasMinimumInstructionSet(c.leaf0, c.leaf1), c.has) << c.what;
}
