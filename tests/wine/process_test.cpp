// RunProcessAndWait called directly, in a real session for its log lines.
// (Whether it closes its handles cannot be seen under Wine, which counts no
// handles; ScopedHandle owns both.)
#include <gtest/gtest.h>

#include "bench/bench.h"
#include "runtime/process.h"

using bench::Lines;

namespace {

TEST(RunProcessAndWait, ReturnsTheExitCodeUnchanged) {
    bench::TempDir dir;
    bench::StandIn program(dir.Path(), L"WQInstaller.exe");
    for (DWORD code : {0u, 3u, 0xC0000005u, 0xFFFFFFFEu}) {
        program.SetExitCode(code);
        auto session = bench::Package().Open();
        const std::wstring commandLine = program.Path() + L" /install";
        EXPECT_EQ(kci::RunProcessAndWait(session->Handle(), commandLine), code);
        // The caller logs the code; the runner only says what it starts.
        EXPECT_EQ(session->Log(), Lines{L"Going to try executing " + commandLine});
    }
    EXPECT_EQ(program.CommandLines().size(), 4u);
}

// A missing program fails to start; one without an absolute path is not tried.
TEST(RunProcessAndWait, UnstartableProgramGivesNothing) {
    for (const wchar_t* commandLine : {L"\"C:\\kci no such folder\\WQInstaller.exe\" /install", L" /install"}) {
        SCOPED_TRACE(bench::Narrow(commandLine));
        auto session = bench::Package().Open();
        EXPECT_EQ(kci::RunProcessAndWait(session->Handle(), commandLine), std::nullopt);
        Lines log = session->Log();
        if (commandLine[0] == L' ') {
            EXPECT_EQ(log, Lines{L"Program path is empty or not absolute, not started:  /install"});
            continue;
        }
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0], L"Going to try executing " + std::wstring(commandLine));
        EXPECT_EQ(log[1].rfind(L"CreateProcess failed with error: 0x", 0), 0u) << bench::Narrow(log[1]);
    }
}

}  // namespace
