// kci-run, the packagers' tool, run as they run it: its own process, its
// printed messages, its exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/components_bench.h"

namespace {

struct ToolRun {
    DWORD status = 0;
    std::string out;
    std::string err;
};

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

ToolRun RunTool(const std::wstring& arguments, DWORD creationFlags = 0) {
    bench::TempDir dir;
    const std::wstring outPath = dir / L"out.txt", errPath = dir / L"err.txt";
    HANDLE out = InheritableFile(outPath), err = InheritableFile(errPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + bench::BuildFolder() + L"\\kci-run.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    ToolRun run;
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, creationFlags, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    run.out = bench::ReadFile(outPath);
    run.err = bench::ReadFile(errPath);
    return run;
}

// True when every line of `expected` stands in `text`, in that order.
bool HasInOrder(const std::string& text, const std::vector<std::string>& expected) {
    size_t at = 0;
    for (const auto& line : expected) {
        at = text.find(line, at);
        if (at == std::string::npos) return false;
        at += line.size();
    }
    return true;
}

TEST(KciRun, PrintsWhatTheActionSendsAndExitsWithItsResult) {
    bench::DummyProcess messenger(L"communicator.exe");
    bench::TempDir dir;
    bench::StandIn camera(dir.Path(), L"WQInstaller.exe");
    camera.SetExitCode(3);
    const std::string prefix = "log: CUSTOM IMMEDIATE ACTION   ";
    struct Case { std::wstring arguments; DWORD status; std::vector<std::string> out; std::vector<std::string> err; };
    const Case cases[] = {
        {L"CheckRunningMOC --answer 4 --answer 2", 1602 % 256,
         {prefix + "Entering CheckRunningMOC", "files-in-use (0x05000005): [0] \"", "[1] \"communicator.exe\"",
          "-> answered 4", prefix + "CheckRunningMOC - user hit RETRY", "-> answered 2",
          prefix + "Exiting CheckRunningMOC - user hit cancel", "result: 1602 (user exit)", "reboot: not requested"},
         {}},
        {L"InstallCamera --deferred --data \"WQInstallerExe|" + camera.Path() + L"\"", 0,
         {prefix + "Going to try executing \"" + bench::Narrow(camera.Path()) + "\" /install",
          prefix + "Process returned 0x3", "result: 0 (success)",
          "reboot: recorded by InstallCamera, for RequestRecordedReboot"},
         {}},
        // The session has no CAMERADRIVER: only a run that reads CustomActionData finds the folder.
        {L"UninstallCamera --rollback --data \"CAMERADRIVER|" + dir.Path() + L"\"", 0,
         {prefix + "CustomActionData says CAMERADRIVER is " + bench::Narrow(dir.Path()) + "\n",
          prefix + "Process returned 0x3", "reboot: recorded by UninstallCamera, for RequestRecordedReboot"}, {}},
        // Windows gives a commit form no target path: only CustomActionData names the folder.
        {L"RemoveLogs --commit --data \"INSTALLDIR|" + dir.Path() + L"\\\\\"", 0,  // two backslashes before the quote: one ends the argument
         {prefix + "CustomActionData says INSTALLDIR is " + bench::Narrow(dir.Path()) + "\\\n", "result: 0 (success)"},
         {}},
        {L"RemoveLogs --directory \"INSTALLDIR=" + dir.Path() + L"\"", 0,
         {prefix + "MsiGetProperty says ZephWin32.exe component path is [" + bench::Narrow(dir.Path()) + "\\]"}, {}},
        {L"SetRtmxPath --show _RTMX_DIR_", 0,
         {prefix + "Leaving SetRtmxPath", "result: 0 (success)",
          "property _RTMX_DIR_ = C:\\Program Files (x86)\\Common Files\\Tenvor Systems\\Media Driver\n"},
         {}},
        {L"SetRtmxPath --answer yes", 2, {}, {"kci-run: --answer takes a number, not yes\nusage: kci-run ACTION"}},
        {L"SetRtmxPathh", 2, {}, {"exports no action named SetRtmxPathh\nIts actions: ", " SetRtmxPath,"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.arguments));
        const ToolRun run = RunTool(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(HasInOrder(run.out, c.out)) << run.out;
        EXPECT_TRUE(HasInOrder(run.err, c.err)) << run.err;
        if (c.status == 2) EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(camera.CommandLines().size(), 2u);
}

// Run from a process without a console, as the installer's custom-action server is, a
// console program gets a shown console window unless its starter says not (flags 0 did).
TEST(KciRun, ProgramsStartedWithoutAConsoleShowNoConsoleWindow) {
    bench::TempDir dir;
    bench::StandIn camera(dir.Path(), L"WQInstaller.exe"), setup(dir.Path(), L"Bits_v15_Client_Setup.exe"),
        httpcfg(dir.Path(), L"httpcfg.exe");
    bench::RegistryValueOverride appId(HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", REG_DWORD, {1, 0, 0, 0});
    struct Case { std::wstring arguments; const bench::StandIn& program; std::string each; };
    for (const Case& c : {Case{L"InstallCamera --deferred --data \"WQInstallerExe|" + camera.Path() + L"\"", camera, "none\n"},
                          Case{L"InstallBits --property \"AUTOUPDATE=" + dir.Path() + L"\"", setup, "none\n"},
                          Case{L"httpcfgOperations --data \"" + dir.Path() + L"\\\\\"", httpcfg, "hidden\n"}}) {
        bench::WriteFile(c.program.Path() + L".console", "");
        EXPECT_EQ(RunTool(c.arguments, DETACHED_PROCESS).status, 0u);
        std::string all;  // one record per run, the tool's one per line it launched hidden
        for (size_t runs = c.program.CommandLines().size(); runs > 0; --runs) all += c.each;
        EXPECT_NE(all, "");
        EXPECT_EQ(bench::ReadFile(c.program.Path() + L".console"), all) << bench::Narrow(c.arguments);
    }
}

}  // namespace
