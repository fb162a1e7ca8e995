#include "probes/core/processor.h"

#include <string>

#include "runtime/core/decimal.h"

namespace kci {
namespace {

bool IsSpeedCharacter(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'.'; }

bool IsLetter(wchar_t c, wchar_t lower) { return c == lower || c == lower - (L'a' - L'A'); }

// A run of digits and dots that a unit follows: "GHz" or "MHz", any case,
// with at most one blank between.
struct SpeedRun {
    std::wstring_view text;
    bool gigahertz = false;
};

bool UnitAt(std::wstring_view name, std::size_t at, wchar_t prefix) {
    return name.size() - at >= 3 && IsLetter(name[at], prefix) && IsLetter(name[at + 1], L'h') &&
           IsLetter(name[at + 2], L'z');
}

// The first run followed by a unit; model numbers come before the speed in
// most names, so the run alone says nothing.
SpeedRun FirstSpeedRun(std::wstring_view name) {
    std::size_t i = 0;
    while (i < name.size()) {
        if (!IsSpeedCharacter(name[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < name.size() && IsSpeedCharacter(name[end])) ++end;
        const std::size_t unit = end < name.size() && name[end] == L' ' ? end + 1 : end;
        if (UnitAt(name, unit, L'g')) return {name.substr(i, end - i), true};
        if (UnitAt(name, unit, L'm')) return {name.substr(i, end - i), false};
        i = end;
    }
    return {};
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
    const SpeedRun run = FirstSpeedRun(name);
    std::wstring speed(run.text);
    if (run.gigahertz) {
        const std::size_t dot = speed.find(L'.');
        speed += L"000";
        if (dot != std::wstring::npos) {
            std::wstring digits;
            for (wchar_t c : speed)
                if (c != L'.') digits.push_back(c);
            if (speed.size() - digits.size() > 1) return kSpeedTwoDots;
            speed = digits.substr(0, dot + 3);
        }
    }
    const Decimal value = ReadDecimal(speed);  // no leading digit reads as 0
    return value.outOfRange ? kSpeedTooLarge : value.value;
}

bool HasMinimumInstructionSet(const CpuidWords& leaf0, const CpuidWords& leaf1) {
    if (leaf0.eax == 0) return false;  // no leaf 1
    if (!VendorIs(leaf0, "GenuineIntel") && !VendorIs(leaf0, "AuthenticAMD")) return false;
    return (leaf1.edx & kMmxBit) && (leaf1.edx & kSseBit);
}

}  // namespace kci
