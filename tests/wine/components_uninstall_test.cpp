// The component uninstall actions and SetRtmxPath in real sessions, running
// stand-ins for the uninstaller programs from the folders the session knows.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "bench/bench.h"
#include "bench/components_bench.h"

using bench::ComponentReport;
using bench::ExpectOneReport;
using bench::Hex;
using bench::Lines;

namespace {

struct UninstallAction {
    const char* name;
    std::wstring source;  // directory or property
    bool directory;
    std::wstring program;
    std::wstring switches;
    std::wstring startFailureText;
    std::wstring rebootLine;
};

const UninstallAction kUninstallCamera{
    "UninstallCamera", L"CAMERADRIVER", true, L"WQInstaller.exe", L" /uninstall", L"Error uninstalling camera drivers",
    L"Setting reboot flag in the installer - camera uninstall returned exit code 3."};
const UninstallAction kUninstallQdn{
    "UninstallQdnAndFilter", L"INSTALLDIR", true, L"InstallQdnAndAx.exe", L" /U", L"Error installing QDN driver/filter",
    L"Setting reboot flag in the installer - qdn uninstall returned exit code 3."};
const UninstallAction kUninstallRtmx{
    "UninstallRtmx", L"_RTMX_DIR_", false, L"RtmxDriverInstaller.exe", L" /uninstall", L"Error uninstalling RTMX driver",
    L"Setting reboot flag in the installer - rtmx uninstall returned exit code 3."};

// A costed session with INSTALLDIR and CAMERADRIVER defined.
std::unique_ptr<bench::Session> CostedSession() {
    auto session = bench::Package()
                       .Directory(L"INSTALLDIR", L"TARGETDIR", L"App")
                       .Directory(L"CAMERADRIVER", L"INSTALLDIR", L"Camera")
                       .Open();
    session->Cost();
    return session;
}

// An uninstall action's stand-in in a folder of its own, which the session
// names as the action's directory (a target path, with its trailing
// backslash) or property (without one).
class UninstallRun {
public:
    explicit UninstallRun(const UninstallAction& action, DWORD exitCode = 0)
        : action_(action), program_(dir_.Path(), action.program) {
        program_.SetExitCode(exitCode);
    }

    std::unique_ptr<bench::Session> Open() const {
        auto session = CostedSession();
        if (action_.directory) bench::SetTargetPath(*session, action_.source, dir_.Path());
        else session->SetProperty(action_.source, dir_.Path());
        session->ClearRecords();
        return session;
    }

    std::wstring Folder() const { return dir_.Path() + (action_.directory ? L"\\" : L""); }
    std::wstring CommandLine() const { return L"\"" + dir_.Path() + L"\\" + action_.program + L"\"" + action_.switches; }
    const bench::StandIn& Program() const { return program_; }

    Lines RanLog(DWORD code, const Lines& afterCode = {}) const {
        std::wstring name = bench::Widen(action_.name);
        std::wstring reader = action_.directory ? L"MsiGetTargetPath" : L"MsiGetProperty";
        Lines lines{L"Entering " + name, reader + L" says " + action_.source + L" is [" + Folder() + L"]",
                    L"Going to try executing " + CommandLine(), L"Process returned " + Hex(code)};
        lines.insert(lines.end(), afterCode.begin(), afterCode.end());
        lines.push_back(L"Exiting " + name);
        return lines;
    }

private:
    UninstallAction action_;
    bench::TempDir dir_;
    bench::StandIn program_;
};

TEST(ComponentUninstall, RunsTheUninstallerFromItsFolderWithOneBackslash) {
    for (const UninstallAction* action : {&kUninstallCamera, &kUninstallQdn, &kUninstallRtmx}) {
        SCOPED_TRACE(action->name);
        UninstallRun run(*action);
        auto session = run.Open();
        EXPECT_EQ(bench::CallAction(action->name, *session), 0u);

        EXPECT_EQ(session->Log(), run.RanLog(0));
        EXPECT_EQ(run.Program().CommandLines(), Lines{run.CommandLine()});
        EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
        EXPECT_FALSE(session->RebootAtEnd());
    }
}

TEST(ComponentUninstall, CameraAndRtmxRebootOnThreeAndReportOtherCodes) {
    for (const UninstallAction* action : {&kUninstallCamera, &kUninstallRtmx}) {
        for (DWORD code : {1u, 2u, 3u, 0xC0000005u}) {
            SCOPED_TRACE(std::string(action->name) + " " + std::to_string(code));
            UninstallRun run(*action, code);
            auto session = run.Open();
            EXPECT_EQ(bench::CallAction(action->name, *session), 0u);

            bool reboot = code == 3;
            EXPECT_EQ(session->Log(), run.RanLog(code, reboot ? Lines{action->rebootLine} : Lines{}));
            EXPECT_EQ(session->RebootAtEnd(), reboot);
            if (reboot) EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
            else ExpectOneReport(*session, ComponentReport({action->startFailureText}));
        }
    }
}

TEST(ComponentUninstall, QdnDriverOrFilterBitRebootsBeforeTheReport) {
    struct Case { DWORD code; std::wstring report; bool reboot; };
    for (const Case& c : {Case{0x1, ComponentReport({L"QDN driver uninstall failed"}), true},
                          Case{0x2, ComponentReport({L"DirectShow filter uninstall failed"}), true},
                          Case{0x4, ComponentReport({L"QDN driver marked for deletion"}), false},
                          Case{0xB, ComponentReport({L"QDN driver uninstall failed", L"DirectShow filter uninstall failed",
                                                     L"QDN error - see driver log file"}), true},
                          Case{0x0, L"", false}}) {
        SCOPED_TRACE(c.code);
        UninstallRun run(kUninstallQdn, c.code);
        auto session = run.Open();
        EXPECT_EQ(bench::CallAction("UninstallQdnAndFilter", *session), 0u);

        EXPECT_EQ(session->Log(), run.RanLog(c.code, c.reboot ? Lines{kUninstallQdn.rebootLine} : Lines{}));
        EXPECT_EQ(session->RebootAtEnd(), c.reboot);
        if (c.report.empty()) {
            EXPECT_TRUE(session->Messages(INSTALLMESSAGE_ERROR).empty());
            continue;
        }
        ExpectOneReport(*session, c.report);
        if (c.reboot)
            EXPECT_LT(bench::IndexOfLogLine(*session, kUninstallQdn.rebootLine), bench::IndexOfKind(*session, INSTALLMESSAGE_ERROR));
    }
}

TEST(ComponentUninstall, UnknownDirectoryIsReportedWithoutRunningAnything) {
    bench::TempDir dir;
    bench::StandIn program(dir.Path(), L"WQInstaller.exe");
    auto session = bench::Package().Directory(L"INSTALLDIR", L"TARGETDIR", L"App").Open();
    session->Cost();
    session->ClearRecords();
    EXPECT_EQ(bench::CallAction("UninstallCamera", *session), 0u);

    Lines log = session->Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].rfind(L"MsiGetTargetPath of CAMERADRIVER returned ", 0), 0u) << bench::Narrow(log[1]);
    EXPECT_NE(log[1], L"MsiGetTargetPath of CAMERADRIVER returned 0");
    EXPECT_EQ(log[2], L"Exiting UninstallCamera");
    ExpectOneReport(*session, ComponentReport({L"Could not locate the Camera driver uninstall component path"}));
}

// A target path is read into 260 characters, terminator included.
TEST(ComponentUninstall, TargetPathOfUpTo259CharactersIsRead) {
    for (size_t length : {258u, 259u, 260u}) {
        SCOPED_TRACE(length);
        const std::wstring folder = L"C:\\" + std::wstring(length - 4, L'c') + L"\\";
        auto session = CostedSession();
        bench::SetTargetPath(*session, L"CAMERADRIVER", folder);
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("UninstallCamera", *session), 0u);

        const Lines log = session->Log();
        ASSERT_GE(log.size(), 3u);
        if (length < 260) {
            EXPECT_EQ(log[1], L"MsiGetTargetPath says CAMERADRIVER is [" + folder + L"]");
        } else {
            EXPECT_EQ(log, (Lines{L"Entering UninstallCamera", L"MsiGetTargetPath of CAMERADRIVER returned 234",
                                  L"Exiting UninstallCamera"}));
            ExpectOneReport(*session, ComponentReport({L"Could not locate the Camera driver uninstall component path"}));
        }
    }
}

TEST(ComponentUninstall, UnsetRtmxFolderRunsFromTheRootAndCannotStart) {
    auto session = CostedSession();
    session->ClearRecords();
    EXPECT_EQ(bench::CallAction("UninstallRtmx", *session), 0u);

    Lines log = session->Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1], L"MsiGetProperty says _RTMX_DIR_ is []");
    EXPECT_EQ(log[2], L"Going to try executing \"\\RtmxDriverInstaller.exe\" /uninstall");
    EXPECT_EQ(log[3].rfind(L"CreateProcess failed with error: 0x", 0), 0u) << bench::Narrow(log[3]);
    EXPECT_EQ(log[4], L"Exiting UninstallRtmx");
    ExpectOneReport(*session, ComponentReport({L"Error uninstalling RTMX driver"}));
}

// SetRtmxPath may set a folder of up to 260 characters; UninstallRtmx reads
// every such folder and refuses a longer one.
TEST(ComponentUninstall, RtmxFolderOfUpTo260CharactersIsRead) {
    for (size_t length : {259u, 260u, 261u}) {
        SCOPED_TRACE(length);
        const std::wstring folder = L"C:\\" + std::wstring(length - 3, L'r');
        auto session = CostedSession();
        session->SetProperty(L"_RTMX_DIR_", folder);
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("UninstallRtmx", *session), 0u);

        const Lines log = session->Log();
        ASSERT_GE(log.size(), 3u);
        if (length <= 260) {
            EXPECT_EQ(log[1], L"MsiGetProperty says _RTMX_DIR_ is [" + folder + L"]");
            EXPECT_EQ(log[2], L"Going to try executing \"" + folder + L"\\RtmxDriverInstaller.exe\" /uninstall");
            ExpectOneReport(*session, ComponentReport({L"Error uninstalling RTMX driver"}));
        } else {
            EXPECT_EQ(log, (Lines{L"Entering UninstallRtmx", L"MsiGetProperty of _RTMX_DIR_ returned 234",
                                  L"Exiting UninstallRtmx"}));
            ExpectOneReport(*session, ComponentReport({L"Could not get RTMX driver path"}));
        }
    }
}

// ---------------------------------------------------------------- SetRtmxPath

const wchar_t kServiceKey[] = L"System\\CurrentControlSet\\Services\\Rtmx";

std::wstring CommonFiles() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// The log of a run that reads the common files folder, then the lines about
// the service key, then sets `folder`.
Lines SetRtmxPathLog(const Lines& serviceLines, const std::wstring& folder) {
    Lines lines{L"Entering SetRtmxPath", L"SHGetFolderPath returned valid folder: " + CommonFiles()};
    lines.insert(lines.end(), serviceLines.begin(), serviceLines.end());
    lines.push_back(L"Setting _RTMX_DIR_ property to " + folder);
    lines.push_back(L"Leaving SetRtmxPath");
    return lines;
}

class SetRtmxPath : public testing::Test {
protected:
    void Run() {
        session = bench::Package().Open();
        session->ClearRecords();
        EXPECT_EQ(bench::CallAction("SetRtmxPath", *session), 0u);
    }

    const std::wstring defaultFolder = CommonFiles() + L"\\Tenvor Systems\\Media Driver";
    std::unique_ptr<bench::Session> session;
};

TEST_F(SetRtmxPath, WithoutTheServiceKeyTakesTheDefaultFolder) {
    ASSERT_FALSE(CommonFiles().empty());
    Run();
    EXPECT_EQ(session->Log(), SetRtmxPathLog({L"RegOpenKey returned 2"}, defaultFolder));
    EXPECT_EQ(session->Property(L"_RTMX_DIR_"), defaultFolder);
}

TEST_F(SetRtmxPath, TakesAPlainStringFilePathExactly) {
    bench::RegistryKey service(HKEY_LOCAL_MACHINE, kServiceKey);
    service.SetString(L"FilePath", L"D:\\Tenvor Media\\Rtmx ");
    Run();
    EXPECT_EQ(session->Log(), SetRtmxPathLog({L"RegQueryValueEx returned a string: D:\\Tenvor Media\\Rtmx "},
                                             L"D:\\Tenvor Media\\Rtmx "));
    EXPECT_EQ(session->Property(L"_RTMX_DIR_"), L"D:\\Tenvor Media\\Rtmx ");
}

TEST_F(SetRtmxPath, IgnoresAnExpandableFilePathSilently) {
    bench::RegistryKey service(HKEY_LOCAL_MACHINE, kServiceKey);
    service.SetString(L"FilePath", L"%ProgramFiles%\\Rtmx", REG_EXPAND_SZ);
    Run();
    EXPECT_EQ(session->Log(), SetRtmxPathLog({}, defaultFolder));
    EXPECT_EQ(session->Property(L"_RTMX_DIR_"), defaultFolder);
}

TEST_F(SetRtmxPath, KeepsTheDefaultWhenFilePathCannotBeRead) {
    struct Case { std::wstring value; bool present; std::wstring line; };
    for (const Case& c : {Case{L"", false, L"RegQueryValueEx returned 0x2"},
                          Case{std::wstring(260, L'f'), true, L"RegQueryValueEx returned 0xea"}}) {
        bench::RegistryKey service(HKEY_LOCAL_MACHINE, kServiceKey);
        if (c.present) service.SetString(L"FilePath", c.value);
        Run();
        EXPECT_EQ(session->Log(), SetRtmxPathLog({c.line}, defaultFolder));
        EXPECT_EQ(session->Property(L"_RTMX_DIR_"), defaultFolder);
        session.reset();
    }
}

// Points the platform's common files folder elsewhere for one test.
class CommonFilesRedirect {
public:
    CommonFilesRedirect(const std::wstring& folder, bool create)
        : folder_(folder), created_(create && CreateDirectoryW(folder.c_str(), nullptr)),
          value_(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"CommonFilesDir", folder) {}
    ~CommonFilesRedirect() {
        if (created_) RemoveDirectoryW(folder_.c_str());
    }
    bool Created() const { return created_; }

private:
    std::wstring folder_;
    bool created_;
    bench::RegistryValueOverride value_;
};

TEST_F(SetRtmxPath, KeepsTheCommonFilesFolderWhenTheDefaultWouldNotFit) {
    const std::wstring tail = L"\\Tenvor Systems\\Media Driver";
    for (size_t length : {260 - tail.size(), 261 - tail.size()}) {
        SCOPED_TRACE(length);
        const std::wstring commonFiles = L"C:\\" + std::wstring(length - 3, L'c');
        CommonFilesRedirect redirect(commonFiles, true);
        ASSERT_TRUE(redirect.Created());
        ASSERT_EQ(CommonFiles(), commonFiles);
        Run();
        const bool fits = length + tail.size() <= 260;
        const std::wstring folder = fits ? commonFiles + tail : commonFiles;
        Lines expected = SetRtmxPathLog({L"RegOpenKey returned 2"}, folder);
        if (!fits)
            expected.insert(expected.begin() + 2, L"Default folder below " + commonFiles +
                                                      L" would be longer than 260 characters, keeping that folder");
        EXPECT_EQ(session->Log(), expected);
        EXPECT_EQ(session->Property(L"_RTMX_DIR_"), folder);
        session.reset();
    }
}

TEST_F(SetRtmxPath, FallsBackToTheUsualFolderWhenTheShellHasNone) {
    // The shell gives a folder that does not exist as a failure.
    CommonFilesRedirect redirect(L"C:\\kci-no-such-folder", false);
    Run();
    EXPECT_EQ(session->Log(), (Lines{L"Entering SetRtmxPath", L"SHGetFolderPath returned 80070002, setting to default",
                                     L"RegOpenKey returned 2",
                                     L"Setting _RTMX_DIR_ property to C:\\Program Files\\Common Files\\Tenvor Systems\\Media Driver",
                                     L"Leaving SetRtmxPath"}));
}

TEST_F(SetRtmxPath, LeadsUninstallRtmxToTheRegisteredFolder) {
    bench::TempDir dir;
    bench::StandIn program(dir.Path(), L"RtmxDriverInstaller.exe");
    bench::RegistryKey service(HKEY_LOCAL_MACHINE, kServiceKey);
    service.SetString(L"FilePath", dir.Path());
    Run();
    EXPECT_EQ(bench::CallAction("UninstallRtmx", *session), 0u);
    EXPECT_EQ(program.CommandLines(), Lines{L"\"" + dir.Path() + L"\\RtmxDriverInstaller.exe\" /uninstall"});
}

}  // namespace
