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
        session->ClearRecords();
        const std::wstring commandLine = program.Path() + L" /install";
        EXPECT_EQ(RunProcessAndWait(session->Handle(), commandLine, L"unused"), code);
        // The caller logs the code; the runner only says what it starts.
        EXPECT_EQ(session->Log(), Lines{L"Going to try executing " + commandLine});
    }
    EXPECT_EQ(program.CommandLines().size(), 4u);
}

TEST(RunProcessAndWait, UnstartableProgramThrowsTheCallersTextAlone) {
    auto session = bench::Package().Open();
    session->ClearRecords();
    try {
        RunProcessAndWait(session->Handle(), L" /install", L"Error installing camera drivers");
        ADD_FAILURE() << "nothing thrown";
    } catch (const stp::ErrorList& errors) {
        EXPECT_EQ(errors, stp::ErrorList{L"Error installing camera drivers"});
    }
    Lines log = session->Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], L"Going to try executing  /install");
    EXPECT_EQ(log[1].rfind(L"CreateProcess failed with error: 0x", 0), 0u) << bench::Narrow(log[1]);
}

}  // namespace
