#include <gtest/gtest.h>

#include <string>

#include "probes/core/processor.h"

using namespace kci;

TEST(ProcessorName, SpeedFromTheLongestRunOfDigitsAndDots) {
    struct Case { const wchar_t* name; int speed; };
    const Case cases[] = {
        {L"Intel(R) Pentium(R) 4 CPU 2.40GHz", 2400},
        {L"Intel(R) Pentium(R) M processor 1.86", 1860},
        {L"Pentium 4 3.0GHz", 3000},                  // fewer decimals than three
        {L"AMD Opteron 1.23456GHz", 1234},            // more decimals are cut
        {L"Processor @ 2900MHz", 2900},
        {L"Model 12345 at 2.4GHz", 12345},            // a longer model number wins
        {L"Core(TM)2 CPU 6600 @ 2.40GHz", 6600},      // equally long: the first
        {L"Speed 1.2.3 GHz", kSpeedTwoDots},
        {L"Virtual CPU", 0},
        {L"", 0},
        {L"Model 99999999999", kSpeedTooLarge},
    };
    for (const auto& c : cases) EXPECT_EQ(SpeedFromNameString(c.name), c.speed) << std::wstring(c.name).size();
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
