// The component install actions in real sessions, running stand-ins for the
// component programs.
#include <windows.h>
#include <gtest/gtest.h>

#include <shellapi.h>

#include <cwctype>
#include <string>

#include "bench/bench.h"
#include "bench/components_bench.h"

using bench::ComponentReport;
using bench::Lines;

namespace {

struct InstallAction { const char* name; std::wstring key, program, switches, startFailureText; };

const InstallAction kCamera{"InstallCamera", L"WQInstallerExe", L"WQInstaller.exe", L" /install",
                            L"Error installing camera drivers"};
const InstallAction kQdn{"InstallQdnAndFilter", L"QdnAxExe", L"InstallQdnAndAx.exe", L" /I",
                         L"Error installing QDN driver/filter"};
const InstallAction kRtmx{"InstallRtmx", L"RtmxDriverInstallerExe", L"RtmxDriverInstaller.exe", L" /install",
                          L"Failed to install RTMX driver"};

std::wstring MakeFolder(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// An install action's stand-in in a folder of its own, run from a session
// whose CustomActionData is given.
struct InstallRun {
    InstallRun(const InstallAction& a, DWORD exitCode = 0) : action(a), program(MakeFolder(dir / L"Drivers"), a.program) {
        program.SetExitCode(exitCode);
    }

    std::wstring Name() const { return bench::Widen(action.name); }
    std::wstring Data() const { return L"Other|x|" + action.key + L"|" + program.Path(); }
    std::wstring CommandLine() const { return L"\"" + program.Path() + L"\"" + action.switches; }

    std::unique_ptr<bench::Session> Run(const std::wstring& data) const {
        auto session = bench::Package().Property(L"CustomActionData", data).Open();
        EXPECT_EQ(bench::CallAction(action.name, *session), 0u);
        return session;
    }

    // The whole log of a run that started the program.
    Lines RanLog(const std::wstring& data, DWORD code, const Lines& afterCode = {}) const {
        Lines lines{L"Entering " + Name(), L"Entering ParseCustomActionData",
                    L"'CustomActionData' contains the following value: '" + data + L"'",
                    L"Exiting ParseCustomActionData", L"Going to try executing " + CommandLine(),
                    L"Process returned " + bench::Hex(code)};
        lines.insert(lines.end(), afterCode.begin(), afterCode.end());
        lines.push_back(L"Exiting " + Name());
        return lines;
    }

    // A run whose CustomActionData was refused with `parseLines` and `report`:
    // nothing started.
    void ExpectRefused(const bench::Session& session, const Lines& parseLines, const std::wstring& report) const {
        Lines expected{L"Entering " + Name(), L"Entering ParseCustomActionData"};
        expected.insert(expected.end(), parseLines.begin(), parseLines.end());
        expected.push_back(L"Exiting " + Name());
        EXPECT_EQ(session.Log(), expected);
        bench::ExpectOneReport(session, ComponentReport({report}));
        EXPECT_TRUE(program.CommandLines().empty());
    }

    const InstallAction& action;
    bench::TempDir dir;
    bench::StandIn program;
};

TEST(ComponentInstall, RunsTheNamedProgramWithItsSwitchAndActsOnItsExitCode) {
    struct Case { const InstallAction* action; DWORD code; Lines note; bool reboot; std::wstring report; };
    const std::wstring camera = ComponentReport({kCamera.startFailureText});
    const Case cases[] = {
        {&kCamera, 0, {}, false, L""},
        {&kQdn, 0, {}, false, L""},
        {&kRtmx, 0, {}, false, L""},
        {&kCamera, 1, {}, false, L""},
        {&kCamera, 2, {L"User aborted camera install"}, false, L""},
        {&kCamera, 3, {}, true, L""},
        {&kCamera, 4, {}, false, camera},
        {&kCamera, 0xFFFFFFFF, {}, false, camera},
        // QDN's bits report their texts in order; a bit beyond them reports nothing.
        {&kQdn, 0x5, {}, false, ComponentReport({L"QDN driver install failed", L"QDN driver marked for deletion"})},
        {&kQdn, 0xF, {}, false,
         ComponentReport({L"QDN driver install failed", L"DirectShow filter install failed",
                          L"QDN driver marked for deletion", L"QDN error - see driver log file"})},
        {&kQdn, 0x10, {}, false, L""},
        // Three is a failure for RTMX, not a reboot request.
        {&kRtmx, 3, {}, false, ComponentReport({kRtmx.startFailureText})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action->name) + " " + std::to_string(c.code));
        InstallRun run(*c.action, c.code);
        auto session = run.Run(run.Data());

        EXPECT_EQ(session->Log(), run.RanLog(run.Data(), c.code, c.note));
        EXPECT_EQ(run.program.CommandLines(), Lines{run.CommandLine()});
        EXPECT_EQ(session->RebootAtEnd(), c.reboot);
        if (c.report.empty()) {
            EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        } else {
            bench::ExpectOneReport(*session, c.report);
            EXPECT_LT(bench::IndexOfKind(*session, INSTALLMESSAGE_ERROR),
                      bench::IndexOfLogLine(*session, L"Exiting " + run.Name()));
        }
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
        const std::wstring folder = MakeFolder(dir / L"Tenvor Drivers");
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

TEST(ComponentInstall, MissingKeyLeavesTheSwitchAloneWhichIsNotStarted) {
    for (const InstallAction* action : {&kCamera, &kQdn, &kRtmx}) {
        SCOPED_TRACE(action->name);
        InstallRun run(*action);
        // Names are case-sensitive: a key that differs only in case is absent.
        std::wstring key = action->key;
        key[0] = static_cast<wchar_t>(towlower(key[0]));
        auto session = run.Run(L"Other|x|" + key + L"|" + run.program.Path());

        Lines log = session->Log();
        ASSERT_EQ(log.size(), 6u);
        EXPECT_EQ(log[4], L"Program path is empty or not absolute, not started: " + action->switches);
        EXPECT_EQ(log[5], L"Exiting " + run.Name());
        bench::ExpectOneReport(*session, ComponentReport({action->startFailureText}));
        EXPECT_TRUE(run.program.CommandLines().empty());
    }
}

const std::wstring kInvalid = L"Invalid 'CustomActionData' property\n";

// The parser's buffer holds 799 characters and a terminator.
TEST(ComponentInstall, CustomActionDataOfUpTo799CharactersIsRead) {
    for (size_t length : {798u, 799u, 800u, 801u}) {
        SCOPED_TRACE(length);
        InstallRun run(kCamera);
        const std::wstring head = L"Pad|", tail = L"|" + run.Data();
        const std::wstring data = head + std::wstring(length - head.size() - tail.size(), L'p') + tail;
        auto session = run.Run(data);
        if (length <= 799) {
            EXPECT_EQ(session->Log(), run.RanLog(data, 0));
            EXPECT_EQ(run.program.CommandLines().size(), 1u);
        } else {
            run.ExpectRefused(*session, {kInvalid, L"result = 234"}, kInvalid);
        }
    }
}

TEST(ComponentInstall, EmptyOrMalformedCustomActionDataIsRefused) {
    InstallRun qdn(kQdn);
    qdn.ExpectRefused(*qdn.Run(L""), {kInvalid, L"result = 0"}, kInvalid);

    InstallRun rtmx(kRtmx);
    const std::wstring dangling = rtmx.Data() + L"|Dangling";
    const std::wstring noValue = L"Invalid name/value pair - no value found...";
    rtmx.ExpectRefused(*rtmx.Run(dangling),
                       {L"'CustomActionData' contains the following value: '" + dangling + L"'", noValue}, noValue);
}

}  // namespace
