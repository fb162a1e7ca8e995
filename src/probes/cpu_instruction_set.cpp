// CpuHasMinimumInstructionSet: the product needs MMX and SSE on an Intel or
// AMD processor. The processor is asked directly with CPUID; what its answer
// means is decided by HasMinimumInstructionSet.
#include <windows.h>
#include <msi.h>

#ifdef _MSC_VER
#include <intrin.h>
#else
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include "probes/core/processor.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

namespace {

// Software can flip the identification flag only where CPUID exists; every
// 64-bit processor has it.
bool CpuidExists() {
#if defined(_M_X64) || defined(__x86_64__)
    return true;
#else
    constexpr unsigned kIdFlag = 0x00200000;
    const unsigned flags = __readeflags();
    __writeeflags(flags ^ kIdFlag);
    const bool flipped = ((__readeflags() ^ flags) & kIdFlag) != 0;
    __writeeflags(flags);
    return flipped;
#endif
}

kci::CpuidWords Cpuid(unsigned leaf) {
    kci::CpuidWords words;
#ifdef _MSC_VER
    int registers[4] = {};
    __cpuid(registers, static_cast<int>(leaf));
    words.eax = static_cast<std::uint32_t>(registers[0]);
    words.ebx = static_cast<std::uint32_t>(registers[1]);
    words.ecx = static_cast<std::uint32_t>(registers[2]);
    words.edx = static_cast<std::uint32_t>(registers[3]);
#else
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(leaf, eax, ebx, ecx, edx);
    words = {eax, ebx, ecx, edx};
#endif
    return words;
}

int MinimumInstructionSetResult() {
    if (!CpuidExists()) return 0;
    const kci::CpuidWords leaf0 = Cpuid(0);
    if (leaf0.eax == 0) return 0;
    return kci::HasMinimumInstructionSet(leaf0, Cpuid(1)) ? 1 : 0;
}

}  // namespace

// Type 1, immediate, any time (the package ignores its result code, since
// the installer counts any code but 0, 1602, 1603 and 259 as failure): 1 when
// the processor is an Intel or AMD one with MMX and SSE, 0 otherwise.
extern "C" UINT __stdcall CpuHasMinimumInstructionSet(MSIHANDLE session) {
    return kci::RunAction(session, L"CpuHasMinimumInstructionSet", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CpuHasMinimumInstructionSet");
        const int result = MinimumInstructionSetResult();
        LogMessage(session, L"Exiting CpuHasMinimumInstructionSet with return code of %d", result);
        return static_cast<UINT>(result);
    });
}

}  // namespace kci
