#include "probes/core/processor.h"

#include <string>

#include "runtime/core/decimal.h"

namespace kci {
namespace {

bool IsSpeedCharacter(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'.'; }

std::wstring_view LongestSpeedRun(std::wstring_view name) {
    std::wstring_view best;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::size_t end = i;
        while (end < name.size() && IsSpeedCharacter(name[end])) ++end;
        if (end - i > best.size()) best = name.substr(i, end - i);
    }
    return best;
}

// The four bytes of a register in memory order, as CPUID's vendor text is laid out.
void AppendRegisterText(std::string& text, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) text.push_back(static_cast<char>((word >> shift) & 0xFF));
}

constexpr std::uint32_t kMmxBit = 0x00800000;
constexpr std::uint32_t kSseBit = 0x02000000;

}  // namespace

int SpeedFromNameString(std::wstring_view name) {
    std::wstring best(LongestSpeedRun(name));
    const std::size_t dot = best.find(L'.');
    if (dot != std::wstring::npos) {
        best += L"000";
        std::wstring digits;
        for (wchar_t c : best)
            if (c != L'.') digits.push_back(c);
        if (best.size() - digits.size() > 1) return kSpeedTwoDots;
        best = digits.substr(0, dot + 3);
    }
    if (best.empty()) return 0;
    const LeadingInteger speed = ReadLeadingInteger(best);
    return speed.read ? speed.value : kSpeedTooLarge;
}

bool HasMinimumInstructionSet(const CpuidWords& leaf0, const CpuidWords& leaf1) {
    if (leaf0.eax == 0) return false;  // no leaf 1
    std::string vendor;
    AppendRegisterText(vendor, leaf0.ebx);
    AppendRegisterText(vendor, leaf0.edx);
    AppendRegisterText(vendor, leaf0.ecx);
    if (vendor != "GenuineIntel" && vendor != "AuthenticAMD") return false;
    return (leaf1.edx & kMmxBit) && (leaf1.edx & kSseBit);
}

}  // namespace kci
