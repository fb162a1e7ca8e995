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

// CPUID's vendor text: the bytes of EBX, EDX and ECX of leaf 0, each
// register in memory order.
bool VendorIs(const CpuidWords& leaf0, const char (&vendor)[13]) {
    const std::uint32_t words[] = {leaf0.ebx, leaf0.edx, leaf0.ecx};
    for (int i = 0; i < 12; ++i)
        if (static_cast<char>((words[i / 4] >> (8 * (i % 4))) & 0xFF) != vendor[i]) return false;
    return true;
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
    if (!VendorIs(leaf0, "GenuineIntel") && !VendorIs(leaf0, "AuthenticAMD")) return false;
    return (leaf1.edx & kMmxBit) && (leaf1.edx & kSseBit);
}

}  // namespace kci
