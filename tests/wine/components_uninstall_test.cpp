// The component uninstall actions and SetRtmxPath in real sessions, running
// stand-ins for the uninstaller programs from the folders the session knows.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "bench/bench.h"
#include "bench/components_bench.h"

using bench::ComponentReport;
using bench::Lines;

namespace {

struct UninstallAction {
    const char* name;
    std::wstring source;  // directory or property
    bool directory;
    std::wstring program, switches, startFailureText, rebootLine;
};

const UninstallAction kCamera{
    "UninstallCamera", L"CAMERADRIVER", true, L"WQInstaller.exe", L" /uninstall", L"Error uninstalling camera drivers",
    L"Setting reboot flag in the installer - camera uninstall returned exit code 3."};
const UninstallAction kQdn{
    "UninstallQdnAndFilter", L"INSTALLDIR", true, L"InstallQdnAndAx.exe", L" /U", L"Error installing QDN driver/filter",
    L"Setting reboot flag in the installer - qdn uninstall returned exit code 3."};
const UninstallAction kRtmx{
    "UninstallRtmx", L"_RTMX_DIR_", false, L"RtmxDriverInstaller.exe", L" /uninstall", L"Error uninstalling RTMX driver",
    L"Setting reboot flag in the installer - rtmx uninstall returned exit code 3."};

// A costed session with INSTALLDIR and CAMERADRIVER defined, or INSTALLDIR only.
std::unique_ptr<bench::Session> CostedSession(bool camera = true) {
    bench::Package package;
    package.Directory(L"INSTALLDIR", L"TARGETDIR", L"App");
    if (camera) package.Directory(L"CAMERADRIVER", L"INSTALLDIR", L"Camera");
    auto session = package.Open();
    session->Cost();
    return session;
}

void Call(const char* action, bench::Session& session) {
    session.ClearRecords();
    EXPECT_EQ(bench::CallAction(action, session), 0u);
}

// An uninstall action's stand-in in a folder of its own, which the session
// names as the action's directory (a target path, with its trailing
// backslash) or property (without one).
struct UninstallRun {
    UninstallRun(const UninstallAction& a, DWORD exitCode) : action(a), program(dir.Path(), a.program) {
        program.SetExitCode(exitCode);
    }

    std::unique_ptr<bench::Session> Run() const {
        auto session = CostedSession();
        if (action.directory) bench::SetTargetPath(*session, action.source, dir.Path());
        else session->SetProperty(action.source, dir.Path());
        Call(action.name, *session);
        return session;
    }

    Lines RanLog(DWORD code, bool reboot) const {
        const std::wstring name = bench::Widen(action.name);
        const std::wstring reader = action.directory ? L"MsiGetTargetPath" : L"MsiGetProperty";
        Lines lines{L"Entering " + name,
                    reader + L" says " + action.source + L" is [" + dir.Path() + (action.directory ? L"\\" : L"") + L"]",
                    L"Going to try executing " + CommandLine(), L"Process returned " + bench::Hex(code)};
        if (reboot) lines.push_back(action.rebootLine);
        lines.push_back(L"Exiting " + name);
        return lines;
    }
    std::wstring CommandLine() const { return L"\"" + dir.Path() + L"\\" + action.program + L"\"" + action.switches; }

    const UninstallAction& action;
    bench::TempDir dir;
    bench::StandIn program;
};

// Camera and RTMX reboot on three and report any other failure; QDN's driver
// or filter bit reboots before the report, its other bits only report.
TEST(ComponentUninstall, RunsTheUninstallerFromItsFolderAndActsOnItsExitCode) {
    struct Case { const UninstallAction* action; DWORD code; bool reboot; std::wstring report; };
    const std::wstring camera = ComponentReport({kCamera.startFailureText});
    const std::wstring rtmx = ComponentReport({kRtmx.startFailureText});
    const Case cases[] = {
        {&kCamera, 0, false, L""},   {&kCamera, 1, false, camera}, {&kCamera, 2, false, camera},
        {&kCamera, 3, true, L""},    {&kCamera, 0xC0000005, false, camera},
        {&kRtmx, 0, false, L""},     {&kRtmx, 1, false, rtmx},     {&kRtmx, 2, false, rtmx},
        {&kRtmx, 3, true, L""},      {&kRtmx, 0xC0000005, false, rtmx},
        {&kQdn, 0x0, false, L""},
        {&kQdn, 0x1, true, ComponentReport({L"QDN driver uninstall failed"})},
        {&kQdn, 0x2, true, ComponentReport({L"DirectShow filter uninstall failed"})},
        {&kQdn, 0x4, false, ComponentReport({L"QDN driver marked for deletion"})},
        {&kQdn, 0xB, true,
         ComponentReport({L"QDN driver uninstall failed", L"DirectShow filter uninstall failed",
                          L"QDN error - see driver log file"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action->name) + " " + std::to_string(c.code));
        UninstallRun run(*c.action, c.code);
        auto session = run.Run();

        EXPECT_EQ(session->Log(), run.RanLog(c.code, c.reboot));
        EXPECT_EQ(run.program.CommandLines(), Lines{run.CommandLine()});
        EXPECT_EQ(session->RebootAtEnd(), c.reboot);
        if (c.report.empty()) {
            EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
            continue;
        }
        bench::ExpectOneReport(*session, c.report);
        if (c.reboot)
            EXPECT_LT(bench::IndexOfLogLine(*session, c.action->rebootLine),
                      bench::IndexOfKind(*session, INSTALLMESSAGE_ERROR));
    }
}

// A target path is read into 260 characters, terminator included; one that
// cannot be read, too long or of an unknown directory, is reported and
// nothing runs.
TEST(ComponentUninstall, TargetPathOfUpTo259CharactersIsRead) {
    for (size_t length : {0u, 258u, 259u, 260u}) {
        SCOPED_TRACE(length);
        bench::TempDir dir;
        bench::StandIn program(dir.Path(), L"WQInstaller.exe");
        const std::wstring folder = L"C:\\" + std::wstring(length ? length - 4 : 0, L'c') + L"\\";
        auto session = CostedSession(length != 0);
        if (length) bench::SetTargetPath(*session, L"CAMERADRIVER", folder);
        Call("UninstallCamera", *session);

        const Lines log = session->Log();
        ASSERT_GE(log.size(), 3u);
        if (length && length < 260) {
            EXPECT_EQ(log[1], L"MsiGetTargetPath says CAMERADRIVER is [" + folder + L"]");
            continue;
        }
        ASSERT_EQ(log.size(), 3u);
        if (length) EXPECT_EQ(log[1], L"MsiGetTargetPath of CAMERADRIVER returned 234");
        EXPECT_EQ(log[1].rfind(L"MsiGetTargetPath of CAMERADRIVER returned ", 0), 0u) << bench::Narrow(log[1]);
        EXPECT_NE(log[1], L"MsiGetTargetPath of CAMERADRIVER returned 0");
        EXPECT_EQ(log[2], L"Exiting UninstallCamera");
        bench::ExpectOneReport(*session, ComponentReport({L"Could not locate the Camera driver uninstall component path"}));
        EXPECT_TRUE(program.CommandLines().empty());
    }
}

// SetRtmxPath may set a folder of up to 260 characters; UninstallRtmx reads
// every such folder and refuses a longer one. Unset, it would run from the
// root of the current drive, which is not absolute: nothing starts.
TEST(ComponentUninstall, RtmxFolderOfUpTo260CharactersIsRead) {
    for (size_t length : {0u, 259u, 260u, 261u}) {
        SCOPED_TRACE(length);
        const std::wstring folder = length ? L"C:\\" + std::wstring(length - 3, L'r') : L"";
        auto session = CostedSession();
        if (length) session->SetProperty(L"_RTMX_DIR_", folder);
        Call("UninstallRtmx", *session);

        const Lines log = session->Log();
        ASSERT_GE(log.size(), 3u);
        if (length == 0) {
            EXPECT_EQ(log, (Lines{L"Entering UninstallRtmx", L"MsiGetProperty says _RTMX_DIR_ is []",
                                  L"Program path is empty or not absolute, not started: \"\\RtmxDriverInstaller.exe\" /uninstall",
                                  L"Exiting UninstallRtmx"}));
            bench::ExpectOneReport(*session, ComponentReport({kRtmx.startFailureText}));
        } else if (length <= 260) {
            ASSERT_EQ(log.size(), 5u);
            EXPECT_EQ(log[1], L"MsiGetProperty says _RTMX_DIR_ is [" + folder + L"]");
            EXPECT_EQ(log[2], L"Going to try executing \"" + folder + L"\\RtmxDriverInstaller.exe\" /uninstall");
            EXPECT_EQ(log[3].rfind(L"CreateProcess failed with error: 0x", 0), 0u) << bench::Narrow(log[3]);
            EXPECT_EQ(log[4], L"Exiting UninstallRtmx");
            bench::ExpectOneReport(*session, ComponentReport({kRtmx.startFailureText}));
        } else {
            EXPECT_EQ(log, (Lines{L"Entering UninstallRtmx", L"MsiGetProperty of _RTMX_DIR_ returned 234",
                                  L"Exiting UninstallRtmx"}));
            bench::ExpectOneReport(*session, ComponentReport({L"Could not get RTMX driver path"}));
        }
    }
}

// ---------------------------------------------------------------- SetRtmxPath

const wchar_t kServiceKey[] = L"System\\CurrentControlSet\\Services\\Rtmx";
const std::wstring kTail = L"\\Tenvor Systems\\Media Driver";

std::wstring CommonFiles() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Runs SetRtmxPath and checks its log: the common files folder, the lines
// about the service key, then `folder` set, which the property holds.
std::unique_ptr<bench::Session> RunSetRtmxPath(const Lines& serviceLines, const std::wstring& folder) {
    auto session = bench::Package().Open();
    Call("SetRtmxPath", *session);
    Lines expected{L"Entering SetRtmxPath", L"SHGetFolderPath returned valid folder: " + CommonFiles()};
    expected.insert(expected.end(), serviceLines.begin(), serviceLines.end());
    expected.push_back(L"Setting _RTMX_DIR_ property to " + folder);
    expected.push_back(L"Leaving SetRtmxPath");
    EXPECT_EQ(session->Log(), expected);
    EXPECT_EQ(session->Property(L"_RTMX_DIR_"), folder);
    return session;
}

// Only a plain string FilePath that fits is taken, exactly; an expandable one
// is passed over without a line.
TEST(SetRtmxPath, TakesAPlainStringFilePathOrElseTheDefaultFolder) {
    ASSERT_FALSE(CommonFiles().empty());
    const std::wstring byDefault = CommonFiles() + kTail, plain = L"D:\\Tenvor Media\\Rtmx ";
    struct Case { bool key; DWORD type; std::wstring value; Lines lines; std::wstring folder; };
    const Case cases[] = {
        {false, REG_NONE, L"", {L"RegOpenKey returned 2"}, byDefault},
        {true, REG_NONE, L"", {L"RegQueryValueEx returned 0x2"}, byDefault},
        {true, REG_SZ, plain, {L"RegQueryValueEx returned a string: " + plain}, plain},
        {true, REG_EXPAND_SZ, L"%ProgramFiles%\\Rtmx", {}, byDefault},
        {true, REG_SZ, std::wstring(260, L'f'), {L"RegQueryValueEx returned 0xea"}, byDefault},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.lines.empty() ? c.value : c.lines[0]));
        std::unique_ptr<bench::RegistryKey> service;
        if (c.key) service = std::make_unique<bench::RegistryKey>(HKEY_LOCAL_MACHINE, kServiceKey);
        if (c.type != REG_NONE) service->SetString(L"FilePath", c.value, c.type);
        RunSetRtmxPath(c.lines, c.folder);
    }
}

// Points the platform's common files folder at `folder` for one test.
bench::RegistryValueOverride CommonFilesRedirect(const std::wstring& folder) {
    return {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"CommonFilesDir", folder};
}

TEST(SetRtmxPath, KeepsTheCommonFilesFolderWhenTheDefaultWouldNotFit) {
    for (size_t length : {259 - kTail.size(), 260 - kTail.size(), 261 - kTail.size()}) {
        SCOPED_TRACE(length);
        bench::TempDir top;
        const std::wstring commonFiles = top / std::wstring(length - top.Path().size() - 1, L'c');
        ASSERT_TRUE(CreateDirectoryW(commonFiles.c_str(), nullptr));
        auto redirect = CommonFilesRedirect(commonFiles);
        ASSERT_EQ(CommonFiles(), commonFiles);
        if (length + kTail.size() <= 260)
            RunSetRtmxPath({L"RegOpenKey returned 2"}, commonFiles + kTail);
        else
            RunSetRtmxPath({L"Default folder below " + commonFiles + L" would be longer than 260 characters, keeping that folder",
                            L"RegOpenKey returned 2"},
                           commonFiles);
    }
}

TEST(SetRtmxPath, FallsBackToTheUsualFolderWhenTheShellHasNone) {
    // The shell gives a folder that does not exist as a failure.
    auto redirect = CommonFilesRedirect(L"C:\\kci-no-such-folder");
    auto session = bench::Package().Open();
    Call("SetRtmxPath", *session);
    EXPECT_EQ(session->Log(), (Lines{L"Entering SetRtmxPath", L"SHGetFolderPath returned 80070002, setting to default",
                                     L"RegOpenKey returned 2",
                                     L"Setting _RTMX_DIR_ property to C:\\Program Files\\Common Files\\Tenvor Systems\\Media Driver",
                                     L"Leaving SetRtmxPath"}));
}

TEST(SetRtmxPath, LeadsUninstallRtmxToTheRegisteredFolder) {
    bench::TempDir dir;
    bench::StandIn program(dir.Path(), L"RtmxDriverInstaller.exe");
    bench::RegistryKey service(HKEY_LOCAL_MACHINE, kServiceKey);
    service.SetString(L"FilePath", dir.Path());
    auto session = RunSetRtmxPath({L"RegQueryValueEx returned a string: " + dir.Path()}, dir.Path());
    Call("UninstallRtmx", *session);
    EXPECT_EQ(program.CommandLines(), Lines{L"\"" + dir.Path() + L"\\RtmxDriverInstaller.exe\" /uninstall"});
}

}  // namespace
