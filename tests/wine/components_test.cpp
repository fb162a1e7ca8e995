// The component install and uninstall actions in real sessions, running
// stand-ins for the component programs.
#include <windows.h>
#include <gtest/gtest.h>

#include <shellapi.h>

#include <cwctype>
#include <string>

#include "bench/bench.h"
#include "bench/components_bench.h"

using bench::ComponentReport;
using bench::ExpectOneReport;
using bench::Hex;
using bench::Lines;

namespace {

struct InstallAction {
    const char* name;
    std::wstring key;
    std::wstring program;
    std::wstring switches;
    std::wstring startFailureText;
};

const InstallAction kInstallCamera{"InstallCamera", L"WQInstallerExe", L"WQInstaller.exe", L" /install",
                                   L"Error installing camera drivers"};
const InstallAction kInstallQdn{"InstallQdnAndFilter", L"QdnAxExe", L"InstallQdnAndAx.exe", L" /I",
                                L"Error installing QDN driver/filter"};
const InstallAction kInstallRtmx{"InstallRtmx", L"RtmxDriverInstallerExe", L"RtmxDriverInstaller.exe", L" /install",
                                 L"Failed to install RTMX driver"};

// An install action's stand-in, and a session whose CustomActionData names it.
class InstallRun {
public:
    explicit InstallRun(const InstallAction& action, DWORD exitCode = 0, const std::wstring& subfolder = L"Drivers")
        : action_(action), folder_(MakeFolder(dir_, subfolder)), program_(folder_, action.program) {
        program_.SetExitCode(exitCode);
    }

    std::wstring Data() const { return L"Other|x|" + action_.key + L"|" + program_.Path(); }
    std::wstring CommandLine() const { return L"\"" + program_.Path() + L"\"" + action_.switches; }
    const bench::StandIn& Program() const { return program_; }

    std::unique_ptr<bench::Session> Open(const std::wstring& data) const {
        return bench::Package().Property(L"CustomActionData", data).Open();
    }

    // The whole log of a run that started the program.
    Lines RanLog(const std::wstring& data, DWORD code, const Lines& afterCode = {}) const {
        std::wstring name = bench::Widen(action_.name);
        Lines lines{L"Entering " + name, L"Entering ParseCustomActionData",
                    L"'CustomActionData' contains the following value: '" + data + L"'",
                    L"Exiting ParseCustomActionData", L"Going to try executing " + CommandLine(),
                    L"Process returned " + Hex(code)};
        lines.insert(lines.end(), afterCode.begin(), afterCode.end());
        lines.push_back(L"Exiting " + name);
        return lines;
    }

private:
    static std::wstring MakeFolder(const bench::TempDir& dir, const std::wstring& subfolder) {
        std::wstring folder = dir / subfolder;
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }

    InstallAction action_;
    bench::TempDir dir_;
    std::wstring folder_;
    bench::StandIn program_;
};

TEST(ComponentInstall, RunsTheProgramNamedInCustomActionDataWithItsSwitch) {
    for (const InstallAction* action : {&kInstallCamera, &kInstallQdn, &kInstallRtmx}) {
        SCOPED_TRACE(action->name);
        InstallRun run(*action);
        auto session = run.Open(run.Data());
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction(action->name, *session), 0u);

        EXPECT_EQ(session->Log(), run.RanLog(run.Data(), 0));
        EXPECT_EQ(run.Program().CommandLines(), Lines{run.CommandLine()});
        EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        EXPECT_FALSE(session->RebootAtEnd());
    }
}

// A program at the spaced path cut at its blank must never start in place of
// the one named, and the named one gets its switch as its first argument.
TEST(ComponentCommandLine, ProgramAtAShorterPrefixOfASpacedPathNeverStarts) {
    struct Case { const char* action; std::wstring program; std::wstring switchArg; bool deferred; };
    for (const Case& c : {Case{"InstallCamera", L"WQInstaller.exe", L"/install", true},
                          Case{"UninstallQdnAndFilter", L"InstallQdnAndAx.exe", L"/U", false}}) {
        SCOPED_TRACE(c.action);
        bench::TempDir dir;
        const std::wstring folder = dir / L"Tenvor Drivers";
        CreateDirectoryW(folder.c_str(), nullptr);
        bench::StandIn decoy(dir.Path(), L"Tenvor.exe");
        bench::StandIn program(folder, c.program);
        std::unique_ptr<bench::Session> session;
        if (c.deferred) {
            session = bench::Package().Property(L"CustomActionData", L"WQInstallerExe|" + program.Path()).Open();
        } else {
            session = bench::Package().Directory(L"INSTALLDIR", L"TARGETDIR", L"App").Open();
            session->Cost();
            bench::SetTargetPath(*session, L"INSTALLDIR", folder);
        }
        EXPECT_EQ(bench::CallAction(c.action, *session), 0u);

        EXPECT_TRUE(decoy.CommandLines().empty());
        const Lines received = program.CommandLines();
        ASSERT_EQ(received.size(), 1u);
        int argc = 0;
        LPWSTR* argv = CommandLineToArgvW(received[0].c_str(), &argc);
        ASSERT_EQ(argc, 2) << bench::Narrow(received[0]);
        EXPECT_EQ(std::wstring(argv[0]), program.Path());
        EXPECT_EQ(std::wstring(argv[1]), c.switchArg);
        LocalFree(argv);
    }
}

TEST(ComponentInstall, CameraExitCodes) {
    struct Case { DWORD code; Lines note; bool reboot; bool reported; };
    for (Case c : {Case{1, {}, false, false}, Case{2, {L"User aborted camera install"}, false, false},
                   Case{3, {}, true, false}, Case{4, {}, false, true}, Case{0xFFFFFFFF, {}, false, true}}) {
        SCOPED_TRACE(c.code);
        InstallRun run(kInstallCamera, c.code);
        auto session = run.Open(run.Data());
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("InstallCamera", *session), 0u);

        EXPECT_EQ(session->Log(), run.RanLog(run.Data(), c.code, c.note));
        EXPECT_EQ(session->RebootAtEnd(), c.reboot);
        if (c.reported) ExpectOneReport(*session, ComponentReport({L"Error installing camera drivers"}));
        else EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
    }
}

TEST(ComponentInstall, QdnExitCodeBitsReportTheirTextsInOrder) {
    struct Case { DWORD code; std::wstring report; };
    for (const Case& c :
         {Case{0x5, ComponentReport({L"QDN driver install failed", L"QDN driver marked for deletion"})},
          Case{0xF, ComponentReport({L"QDN driver install failed", L"DirectShow filter install failed",
                                     L"QDN driver marked for deletion", L"QDN error - see driver log file"})},
          Case{0x10, L""}}) {
        SCOPED_TRACE(c.code);
        InstallRun run(kInstallQdn, c.code);
        auto session = run.Open(run.Data());
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("InstallQdnAndFilter", *session), 0u);

        EXPECT_EQ(session->Log(), run.RanLog(run.Data(), c.code));
        if (c.report.empty()) EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        else ExpectOneReport(*session, c.report);
        EXPECT_FALSE(session->RebootAtEnd());
        // The report comes before the exit line.
        EXPECT_LT(bench::IndexOfKind(*session, INSTALLMESSAGE_ERROR), bench::IndexOfLogLine(*session, L"Exiting InstallQdnAndFilter"));
    }
}

TEST(ComponentInstall, RtmxExitCodeThreeIsReportedNotARebootRequest) {
    InstallRun run(kInstallRtmx, 3);
    auto session = run.Open(run.Data());
    session->ClearRecords();
    EXPECT_EQ(bench::CallAction("InstallRtmx", *session), 0u);

    EXPECT_EQ(session->Log(), run.RanLog(run.Data(), 3));
    EXPECT_FALSE(session->RebootAtEnd());
    ExpectOneReport(*session, ComponentReport({L"Failed to install RTMX driver"}));
}

TEST(ComponentInstall, MissingKeyRunsTheSwitchAloneWhichCannotStart) {
    for (const InstallAction* action : {&kInstallCamera, &kInstallQdn, &kInstallRtmx}) {
        SCOPED_TRACE(action->name);
        InstallRun run(*action);
        // Names are case-sensitive: a key that differs only in case is absent.
        std::wstring key = action->key;
        key[0] = static_cast<wchar_t>(towlower(key[0]));
        std::wstring data = L"Other|x|" + key + L"|" + run.Program().Path();
        auto session = run.Open(data);
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction(action->name, *session), 0u);

        Lines log = session->Log();
        ASSERT_EQ(log.size(), 7u);
        EXPECT_EQ(log[4], L"Going to try executing " + action->switches);
        EXPECT_EQ(log[5].rfind(L"CreateProcess failed with error: 0x", 0), 0u) << bench::Narrow(log[5]);
        EXPECT_EQ(log[6], L"Exiting " + bench::Widen(action->name));
        ExpectOneReport(*session, ComponentReport({action->startFailureText}));
        EXPECT_TRUE(run.Program().CommandLines().empty());
    }
}

// CustomActionData of `length` characters that names the run's program.
std::wstring PaddedData(const InstallRun& run, size_t length) {
    const std::wstring head = L"Pad|";
    const std::wstring tail = L"|" + run.Data();
    return head + std::wstring(length - head.size() - tail.size(), L'p') + tail;
}

// The parser's buffer holds 799 characters and a terminator.
TEST(ComponentInstall, CustomActionDataOfUpTo799CharactersIsRead) {
    for (size_t length : {798u, 799u, 800u, 801u}) {
        SCOPED_TRACE(length);
        InstallRun run(kInstallCamera);
        const std::wstring data = PaddedData(run, length);
        auto session = run.Open(data);
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("InstallCamera", *session), 0u);
        if (length <= 799) {
            EXPECT_EQ(session->Log(), run.RanLog(data, 0));
            EXPECT_EQ(run.Program().CommandLines().size(), 1u);
        } else {
            EXPECT_EQ(session->Log(), (Lines{L"Entering InstallCamera", L"Entering ParseCustomActionData",
                                             L"Invalid 'CustomActionData' property\n", L"result = 234",
                                             L"Exiting InstallCamera"}));
            ExpectOneReport(*session, ComponentReport({L"Invalid 'CustomActionData' property\n"}));
            EXPECT_TRUE(run.Program().CommandLines().empty());
        }
    }
}

TEST(ComponentInstall, EmptyCustomActionDataIsRefused) {
    InstallRun run(kInstallQdn);
    auto session = run.Open(L"");
    session->ClearRecords();
    EXPECT_EQ(bench::CallAction("InstallQdnAndFilter", *session), 0u);
    EXPECT_EQ(session->Log(), (Lines{L"Entering InstallQdnAndFilter", L"Entering ParseCustomActionData",
                                     L"Invalid 'CustomActionData' property\n", L"result = 0", L"Exiting InstallQdnAndFilter"}));
    ExpectOneReport(*session, ComponentReport({L"Invalid 'CustomActionData' property\n"}));
}

TEST(ComponentInstall, MalformedPairIsReportedAndNothingRuns) {
    InstallRun run(kInstallRtmx);
    std::wstring data = run.Data() + L"|Dangling";
    auto session = run.Open(data);
    session->ClearRecords();
    EXPECT_EQ(bench::CallAction("InstallRtmx", *session), 0u);
    EXPECT_EQ(session->Log(), (Lines{L"Entering InstallRtmx", L"Entering ParseCustomActionData",
                                     L"'CustomActionData' contains the following value: '" + data + L"'",
                                     L"Invalid name/value pair - no value found...", L"Exiting InstallRtmx"}));
    ExpectOneReport(*session, ComponentReport({L"Invalid name/value pair - no value found..."}));
    EXPECT_TRUE(run.Program().CommandLines().empty());
}

}  // namespace
