// The processor probes on this machine: their results as their log gives them.
#include <gtest/gtest.h>

#include <algorithm>

#include "action_thread.h"
#include "bench/bench.h"
#include "probes/core/processor.h"

using bench::Lines;

namespace {

// The numbers (one or two) of the lines of `log` that `format` reads.
std::vector<int> NumbersIn(const Lines& log, const wchar_t* format) {
    std::vector<int> found;
    for (const auto& line : log) {
        int numbers[2] = {};
        const int n = swscanf(line.c_str(), format, &numbers[0], &numbers[1]);
        if (n >= 1) found.insert(found.end(), numbers, numbers + n);
    }
    return found;
}

TEST(Probes, CpuSpeedIsTheLargestOfItsFourSources) {
    auto session = bench::Package().Open();
    const int speed = static_cast<int>(actions::CallOnActionThread("CpuSpeedInMhz", *session));

    const Lines log = session->Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), L"Entering CpuSpeedInMhz");
    // This machine's name string may hold no speed ("AMD EPYC"); the other
    // three sources all give one.
    wchar_t name[256] = {};
    DWORD bytes = sizeof(name) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString",
                 RRF_RT_REG_SZ, nullptr, name, &bytes);
    EXPECT_EQ(NumbersIn(log, L"ProcessorNameString WMI returned %d"), std::vector<int>{kci::SpeedFromNameString(name)})
        << bench::Narrow(name);
    EXPECT_EQ(NumbersIn(log, L"CallNtPowerInformation returned %d/%d").size(), 2u);
    std::vector<int> sources;
    for (const wchar_t* format : {L"Registry speed returned %d", L"CallNtPowerInformation returned %d/%d",
                                  L"CpuSpeedInMhz WMI returned %d"}) {
        const std::vector<int> values = NumbersIn(log, format);
        ASSERT_FALSE(values.empty()) << bench::Narrow(format);
        for (int value : values) EXPECT_GT(value, 0) << bench::Narrow(format);
        sources.insert(sources.end(), values.begin(), values.end());
    }
    sources.push_back(kci::SpeedFromNameString(name));
    EXPECT_EQ(speed, *std::max_element(sources.begin(), sources.end()));
    EXPECT_EQ(log.back(), L"Exiting CpuSpeedInMhz with return code of " + std::to_wstring(speed));
}

TEST(Probes, InstructionSetOfThisProcessor) {
    auto session = bench::Package().Open();
    EXPECT_EQ(actions::CallOnActionThread("CpuHasMinimumInstructionSet", *session), 1u);
    EXPECT_EQ(session->Log(), (Lines{L"Entering CpuHasMinimumInstructionSet",
                                     L"Exiting CpuHasMinimumInstructionSet with return code of 1"}));
}

}  // namespace
