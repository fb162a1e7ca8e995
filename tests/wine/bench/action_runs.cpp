#include "bench/action_runs.h"

#include <map>

#include "bench/components_bench.h"
#include "bench/dummy_process.h"
#include "bench/profiles_bench.h"
#include "bench/ui.h"
#include "harness/library.h"
#include "registration/core/registration_tables.h"
#include "runtime/product_records.h"

namespace bench {
namespace {

using Setup = ActionRun::Setup;

std::unique_ptr<harness::Session> Plain(Stage&) { return harness::Package().Open(); }

Setup Deferred(const std::wstring& key, const std::wstring& program) {
    return [=](Stage& stage) {
        return harness::Package().Property(L"CustomActionData", key + L"|" + stage.Program(program)).Open();
    };
}

// A costed session whose `directory` is the stage's folder, holding `program`
// where one is named.
Setup InDirectory(const std::wstring& directory, const std::wstring& program = L"") {
    return [=](Stage& stage) {
        if (!program.empty()) stage.Program(program);
        auto session = harness::Package().Directory(directory, L"TARGETDIR", L"App").Open();
        session->Cost();
        SetTargetPath(*session, directory, stage.dir.Path());
        return session;
    };
}

// A session whose `property` names the stage's folder, which holds `program`.
Setup InFolderProperty(const std::wstring& property, const std::wstring& program) {
    return [=](Stage& stage) {
        stage.Program(program);
        auto session = harness::Package().Open();
        session->SetProperty(property, stage.dir.Path());
        return session;
    };
}

// The browser add-in feature being installed: the click-to-call check asks
// WMI for the browser.
std::unique_ptr<harness::Session> BrowserAddInLocal(Stage&) {
    auto session = harness::Package().Feature(L"Firefox").Open();
    session->Cost();
    session->SetFeatureLocal(L"Firefox", true);
    return session;
}

// A deferred run whose CustomActionData is the stage's folder.
std::unique_ptr<harness::Session> FolderData(Stage& stage) {
    return harness::Package().Property(L"CustomActionData", stage.dir.Path() + L"\\").Open();
}

// The policy tool, a stand-in that exits at once, where the action looks for
// it; each line waits for it to end.
std::unique_ptr<harness::Session> PolicyTool(Stage& stage) {
    stage.runtime = std::make_unique<RuntimeFolder>();
    stage.programs.push_back(std::make_unique<StandIn>(stage.runtime->Place(L"Caspol.Exe")));
    return FolderData(stage);
}

// The policy tool where the action looks for it, exiting with 1 as it does
// when no group is left to remove: each undo level runs it once.
std::unique_ptr<harness::Session> PolicyToolWithNothingLeft(Stage& stage) {
    auto session = PolicyTool(stage);
    stage.programs.back()->SetExitCode(1);
    return session;
}

// A deferred run whose CustomActionData is the stage's folder, holding `program`.
Setup ToolInFolderData(const std::wstring& program) {
    return [=](Stage& stage) {
        stage.Program(program);
        return FolderData(stage);
    };
}

// A script form's run: CustomActionData names the stage's folder under
// `name`, holding `program` where one is named. The session itself has no such
// directory or property, so only a run that reads the data finds the folder.
Setup ScriptData(const std::wstring& name, const std::wstring& program = L"") {
    return [=](Stage& stage) {
        if (!program.empty()) stage.Program(program);
        return harness::Package().Property(L"CustomActionData", name + L"|" + stage.dir.Path()).Open();
    };
}

std::unique_ptr<harness::Session> ShortcutChoiceData(Stage& stage) {
    return harness::Package().Property(L"CustomActionData", L"ApplicationUsers||DesktopFolder|" + stage.dir.Path() +
                                                            L"\\|STARTUP_SHORTCUT||DESKTOP_SHORTCUT||"
                                                            L"QUICKLAUNCH_SHORTCUT||INSTALLDIR|")
        .Open();
}

std::unique_ptr<harness::Session> RegisteredApplications(Stage& stage) {
    stage.keys.push_back(std::make_unique<RegistryKey>(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORSF\\RegisteredApplications"));
    stage.keys.back()->SetString(L"KciNotRunning.exe", L"Not Running");
    return harness::Package().Open();
}

// A reboot that a deferred action of the session's product recorded.
std::unique_ptr<harness::Session> RecordedReboot(Stage& stage) {
    auto session = harness::Package().Open();
    stage.keys.push_back(
        std::make_unique<RegistryKey>(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\RebootPending"));
    stage.keys.back()->SetString(session->Property(L"ProductCode"), L"InstallCamera");
    return session;
}

// ---- working stages ----

// `with` done to the stage before `setup` opens its session.
Setup With(std::function<void(Stage&)> with, Setup setup = Plain) {
    return [=](Stage& stage) { return with(stage), setup(stage); };
}

// A key the stage makes and deletes, holding one text value.
std::function<void(Stage&)> Key(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    return [=](Stage& stage) { stage.keys.emplace_back(new RegistryKey(root, path))->SetString(name, value); };
}

// The Logs folder of the installation directory: files, nested folders, a read-only file.
void LogsTree(Stage& stage) {
    CreateFolders(stage.dir / L"Logs\\old\\older");
    for (const wchar_t* file : {L"Logs\\client.log", L"Logs\\old\\client.log", L"Logs\\old\\older\\a.log", L"Logs\\ro.log"})
        WriteFile(stage.dir / file, "x");
    SetFileAttributesW((stage.dir / L"Logs\\ro.log").c_str(), FILE_ATTRIBUTE_READONLY);
}

// The older layout's profiles (All Users, Alice and Bob) with the shortcuts of
// the current product and of the older one in place, and its shortcut file.
void ProfilesWithShortcuts(Stage& stage) {
    auto& tree = stage.Hold<ScratchProfiles>(Layout::Older);
    const std::wstring menu = tree.Root() + L"Alice\\Start Menu\\Programs\\Tenvor Omni Meridia\\";
    CreateFolders(menu);
    for (const wchar_t* name : {L"Tenvor Omni Meridia.lnk", L"Tenvor Pelago.lnk", L"Owner Handbook.lnk"})
        for (const std::wstring& folder : {tree.CommonDesktop(), tree.CommonStartup(), tree.Root() + L"Alice" + kQuickLaunch,
                                           tree.Me() + L"\\Desktop", menu, stage.dir.Path()})
            WriteFile(folder + L"\\" + name, "x");
}

// Every shortcut asked for, for all users.
std::unique_ptr<harness::Session> AllShortcuts(Stage& stage) {
    return harness::Package().Property(L"ApplicationUsers", L"AllUsers").Property(L"STARTUP_SHORTCUT", L"1")
        .Property(L"DESKTOP_SHORTCUT", L"1").Property(L"QUICKLAUNCH_SHORTCUT", L"1")
        .Property(L"INSTALLDIR", stage.dir.Path() + L"\\").Open();
}

// Every shortcut asked for, for the installing user alone, as the script
// form reads it from CustomActionData: its Quick Launch folder is made.
std::unique_ptr<harness::Session> OwnShortcutsData(Stage& stage) {
    return harness::Package().Property(L"CustomActionData", L"ApplicationUsers|JustMe|DesktopFolder|" + stage.dir.Path() +
                                                            L"\\|STARTUP_SHORTCUT|1|DESKTOP_SHORTCUT|1|"
                                                            L"QUICKLAUNCH_SHORTCUT|1|INSTALLDIR|" + stage.dir.Path() + L"\\")
        .Open();
}

// The code of a product installed for real, once per process (a sweep child
// installs it once, as Running starts its program once), and removed as the
// process ends: a reference counts only for a product the installer knows.
const std::wstring& InstalledProductCode() {
    static const wchar_t kCode[] = L"{4F1C2B3A-5D6E-4F70-8192-A3B4C5D6E7F8}";
    static const harness::InstalledPackage installed(
        harness::Package().Property(L"ProductCode", kCode).Feature(L"Main"));
    static const std::wstring code = kCode;
    return code;
}

// Another installed product's reference to `change` (runtime/product_records.h).
std::function<void(Stage&)> AnotherProductNeeds(const wchar_t* change) {
    return [=](Stage& stage) {
        Key(HKEY_LOCAL_MACHINE, kci::SharedChangePath(change), InstalledProductCode(), change)(stage);
    };
}

// The complete dump ForceFullDump set over a recorded 2, needed by the
// session's product and, with `another`, by one more.
Setup CompleteDumpRecorded(bool another) {
    return [=](Stage& stage) {
        auto session = harness::Package().Open();
        stage.keys.emplace_back(new RegistryKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\CrashControl"))
            ->SetDword(L"CrashDumpEnabled", 1);
        RegistryKey& record = *stage.keys.emplace_back(
            new RegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared\\CrashControl"));
        record.SetDword(L"CrashDumpEnabled", 2).SetString(session->Property(L"ProductCode"), L"ForceFullDump");
        if (another) record.SetString(InstalledProductCode(), L"ForceFullDump");
        return session;
    };
}

// `image` running, the prompt answered Cancel; a box shown when the
// prompt fails is closed (Wine frees its window about two seconds later).
// The program is started once and kept by every later stage of this
// process: the detection actions only look at it, and its start is most
// of a run's time.
std::map<std::wstring, std::shared_ptr<DummyProcess>>& KeptPrograms() {
    static std::map<std::wstring, std::shared_ptr<DummyProcess>> started;
    return started;
}

Setup Running(const std::wstring& image, Setup setup = Plain) {
    return [=](Stage& stage) {
        std::shared_ptr<DummyProcess>& program = KeptPrograms()[image];
        if (!program) program = std::make_shared<DummyProcess>(image);
        stage.held.push_back(program), stage.Hold<MessageBoxWatcher>();
        auto session = setup(stage);
        session->Answer(INSTALLMESSAGE_FILESINUSE, {IDCANCEL});
        return session;
    };
}

// The native image tool where the action looks for it, and the messenger's folder registered.
void MessengerFolder(Stage& stage) {
    stage.runtime = std::make_unique<RuntimeFolder>();
    stage.programs.push_back(std::make_unique<StandIn>(stage.runtime->Place(L"ngen.exe")));
    Key(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey, L"InstallDir", stage.dir.Path() + L"\\")(stage);
}

}  // namespace

std::string ActionRun::Label() const {
    static const char* const kModes[] = {"", " deferred", " rollback", " commit"};
    return action + std::string(kModes[static_cast<int>(mode)]);
}

UINT ActionRun::Call(MSIHANDLE handle) const {
    harness::AnswerRunMode(harness::Library());
    harness::SetRunMode(mode);
    const UINT result = harness::CallAction(action, handle);
    harness::SetRunMode(harness::RunMode::Immediate);
    return result;
}

std::wstring Stage::Program(const std::wstring& name) {
    programs.push_back(std::make_unique<StandIn>(dir.Path(), name));
    return programs.back()->Path();
}

const std::vector<ActionRun>& ActionRuns() {
    static const std::vector<ActionRun> runs = {
        ActionRun().Named("DisableCancel").SetUp(Plain),
        ActionRun().Named("EnableCancel").SetUp(Plain),
        ActionRun().Named("TestMessage").SetUp(Plain),
        ActionRun().Named("CheckRunningApps").SetUp(Plain).InLane(Lane::Programs),
        ActionRun().Named("CheckRunningMOC").SetUp(Plain).InLane(Lane::Programs),
        ActionRun().Named("CheckRunningOutlook").SetUp(Plain).InLane(Lane::Programs),
        ActionRun().Named("CheckRunningBXRApps").SetUp(RegisteredApplications).InLane(Lane::Programs),
        ActionRun().Named("InstallCamera").SetUp(Deferred(L"WQInstallerExe", L"WQInstaller.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("InstallQdnAndFilter").SetUp(Deferred(L"QdnAxExe", L"InstallQdnAndAx.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("InstallRtmx").SetUp(Deferred(L"RtmxDriverInstallerExe", L"RtmxDriverInstaller.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("UninstallCamera").SetUp(InDirectory(L"CAMERADRIVER", L"WQInstaller.exe"))
            .WaitsForItsProgram(),
        ActionRun().Named("UninstallQdnAndFilter").SetUp(InDirectory(L"INSTALLDIR", L"InstallQdnAndAx.exe"))
            .WaitsForItsProgram(),
        ActionRun().Named("UninstallRtmx").SetUp(InFolderProperty(L"_RTMX_DIR_", L"RtmxDriverInstaller.exe"))
            .WaitsForItsProgram(),
        ActionRun().Named("SetRtmxPath").SetUp(Plain),
        ActionRun().Named("CheckQDNDriverOpen").SetUp(Plain),
        ActionRun().Named("RequestRecordedReboot").SetUp(RecordedReboot).InLane(Lane::Records),
        ActionRun().Named("InstallBits").SetUp(InFolderProperty(L"AUTOUPDATE", L"Bits_v15_Client_Setup.exe"))
            .WaitsForItsProgram(),
        ActionRun().Named("CreateDisplayableVersion").SetUp(Plain),
        ActionRun().Named("PrecertificationFailureCount").SetUp(Plain),
        ActionRun().Named("ForceFullDump").SetUp(Plain).FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("UndoForceFullDump").SetUp(Plain)
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("CreateShortcuts").SetUp(Plain),
        ActionRun().Named("RemoveShortcuts").SetUp(Plain),
        ActionRun().Named("RemoveLogs").SetUp(InDirectory(L"INSTALLDIR")),
        ActionRun().Named("NukeRegistrySettings").SetUp(Plain),
        ActionRun().Named("CheckRunningC2CApps").SetUp(BrowserAddInLocal).InLane(Lane::Programs),
        ActionRun().Named("CpuSpeedInMhz").SetUp(Plain).InLane(Lane::Programs),
        ActionRun().Named("CpuHasMinimumInstructionSet").SetUp(Plain).InLane(Lane::Programs),
        // The script forms, before the actions that leave programs running.
        ActionRun().Named("UninstallCamera").SetUp(ScriptData(L"CAMERADRIVER", L"WQInstaller.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("UninstallQdnAndFilter").SetUp(ScriptData(L"INSTALLDIR", L"InstallQdnAndAx.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Rollback),
        ActionRun().Named("UninstallRtmx").SetUp(ScriptData(L"_RTMX_DIR_", L"RtmxDriverInstaller.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("InstallBits").SetUp(ScriptData(L"AUTOUPDATE", L"Bits_v15_Client_Setup.exe"))
            .WaitsForItsProgram().FromScript(harness::RunMode::Deferred),
        ActionRun().Named("CreateShortcuts").SetUp(ShortcutChoiceData).FromScript(harness::RunMode::Deferred),
        ActionRun().Named("RemoveLogs").SetUp(ScriptData(L"INSTALLDIR")).FromScript(harness::RunMode::Deferred),
        // Any value but "AllUsers": the installing user's own copies alone.
        ActionRun().Named("RemoveShortcuts").SetUp(ScriptData(L"ApplicationUsers"))
            .FromScript(harness::RunMode::Deferred),
        ActionRun().Named("RemoveLogs").SetUp(ScriptData(L"INSTALLDIR")).FromScript(harness::RunMode::Commit),
        ActionRun().Named("netshOperations").SetUp(Plain).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("httpcfgOperations").SetUp(FolderData).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        // The policy tool ends before the action does, but a program the shell
        // starts still moves Wine's shared window slots (measured).
        ActionRun().Named("CaspolOperations").SetUp(PolicyTool).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("CaspolOperationsC2C").SetUp(PolicyTool).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("netshUndoOperations").SetUp(Plain).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("httpcfgUndoOperations").SetUp(ToolInFolderData(L"httpcfg.exe")).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("CaspolUndoOperations").SetUp(PolicyToolWithNothingLeft).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("ProcessNGENInstall").SetUp(Plain).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("ProcessNGENUnInstall").SetUp(Plain).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
    };
    return runs;
}

KeptProgramsEnd::~KeptProgramsEnd() { KeptPrograms().clear(); }

const std::vector<ActionRun>& WorkingRuns() {
    static const std::vector<ActionRun> runs = {
        ActionRun().Named("RemoveLogs").Working().SetUp(With(LogsTree, InDirectory(L"INSTALLDIR"))),
        ActionRun().Named("CreateShortcuts").Working().SetUp(With(ProfilesWithShortcuts, AllShortcuts)),
        ActionRun().Named("RemoveShortcuts").Working().SetUp(With(ProfilesWithShortcuts)),
        ActionRun().Named("NukeRegistrySettings").Working()
            .SetUp(With(Key(HKEY_CURRENT_USER, L"Software\\Tenvor Systems, Inc.\\KORVI\\Tcp\\Window", L"Left", L"10"))),
        ActionRun().Named("httpcfgOperations").Working().SetUp(ToolInFolderData(L"httpcfg.exe")).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("ForceFullDump").Working().FromScript(harness::RunMode::Deferred).InLane(Lane::Records).SetUp(
            With(Key(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\CrashControl", L"CrashDumpEnabled", L"2"))),
        ActionRun().Named("PrecertificationFailureCount").Working().AlsoReturns(3)
            .SetUp(With(Key(HKEY_LOCAL_MACHINE, L"Software\\Tenvor Systems, Inc.\\Tenvor Pelago\\Precertification",
                            L"FailureCount", L"3"))),
        ActionRun().Named("ProcessNGENInstall").Working().SetUp(With(MessengerFolder)).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("ProcessNGENUnInstall").Working().SetUp(With(MessengerFolder)).LeavesProgramsRunning()
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("RemoveLogs").Working().SetUp(With(LogsTree, ScriptData(L"INSTALLDIR")))
            .FromScript(harness::RunMode::Commit),
        ActionRun().Named("CreateShortcuts").Working().SetUp(With(ProfilesWithShortcuts, OwnShortcutsData))
            .FromScript(harness::RunMode::Deferred),
        ActionRun().Named("UndoForceFullDump").Working().SetUp(CompleteDumpRecorded(false))
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("UndoForceFullDump").Working().SetUp(CompleteDumpRecorded(true))
            .FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("netshUndoOperations").Working().SetUp(With(AnotherProductNeeds(L"UrlReservations")))
            .LeavesProgramsRunning().FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("httpcfgUndoOperations").Working()
            .SetUp(With(AnotherProductNeeds(L"UrlReservations"), ToolInFolderData(L"httpcfg.exe")))
            .LeavesProgramsRunning().FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("CaspolUndoOperations").Working()
            .SetUp(With(AnotherProductNeeds(L"CodeAccessPolicy"), PolicyToolWithNothingLeft))
            .LeavesProgramsRunning().FromScript(harness::RunMode::Deferred).InLane(Lane::Records),
        ActionRun().Named("CheckRunningApps").Working().SetUp(Running(L"FENWA9.exe"))
            .LeavesProgramsRunning().InLane(Lane::Alone),
        ActionRun().Named("CheckRunningMOC").Working().SetUp(Running(L"communicator.exe"))
            .LeavesProgramsRunning().InLane(Lane::Alone),
        ActionRun().Named("CheckRunningOutlook").Working().SetUp(Running(L"OUTLOOK.EXE"))
            .LeavesProgramsRunning().InLane(Lane::Alone),
        ActionRun().Named("CheckRunningBXRApps").Working().SetUp(Running(L"KciNotRunning.exe", RegisteredApplications))
            .LeavesProgramsRunning().InLane(Lane::Alone),
        ActionRun().Named("CheckRunningC2CApps").Working().SetUp(Running(L"firefox.exe", BrowserAddInLocal))
            .LeavesProgramsRunning().InLane(Lane::Alone),
    };
    return runs;
}

}  // namespace bench
