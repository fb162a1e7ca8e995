// Every action leaves the process as it found it: no kernel handle, registry
// key, GDI or USER object more, and COM on the calling thread as it was.
#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
#include <memory>
#include <thread>

#include "bench/bench.h"
#include "bench/census.h"
#include "bench/components_bench.h"

namespace {

// The folder, stand-ins and keys one action's run needs, kept while it runs.
struct Stage {
    bench::TempDir dir;
    std::vector<std::unique_ptr<bench::StandIn>> programs;
    std::vector<std::unique_ptr<bench::RegistryKey>> keys;

    std::wstring Program(const std::wstring& name) {
        programs.push_back(std::make_unique<bench::StandIn>(dir.Path(), name));
        return programs.back()->Path();
    }
};

using Setup = std::function<std::unique_ptr<bench::Session>(Stage&)>;

std::unique_ptr<bench::Session> Plain(Stage&) { return bench::Package().Open(); }

Setup Deferred(const std::wstring& key, const std::wstring& program) {
    return [=](Stage& stage) {
        return bench::Package().Property(L"CustomActionData", key + L"|" + stage.Program(program)).Open();
    };
}

// A removal run whose uninstaller lies in the folder a directory names.
Setup FromDirectory(const std::wstring& directory, const std::wstring& program) {
    return [=](Stage& stage) {
        stage.Program(program);
        auto session = bench::Package().Directory(directory, L"TARGETDIR", L"App").Open();
        session->Cost();
        bench::SetTargetPath(*session, directory, stage.dir.Path());
        return session;
    };
}

std::unique_ptr<bench::Session> RtmxFolder(Stage& stage) {
    stage.Program(L"RtmxDriverInstaller.exe");
    auto session = bench::Package().Open();
    session->SetProperty(L"_RTMX_DIR_", stage.dir.Path());
    return session;
}

std::unique_ptr<bench::Session> RegisteredApplications(Stage& stage) {
    stage.keys.push_back(std::make_unique<bench::RegistryKey>(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORSF\\RegisteredApplications"));
    stage.keys.back()->SetString(L"KciNotRunning.exe", L"Not Running");
    return bench::Package().Open();
}

struct ActionRun {
    const char* action;
    Setup setup;
};

const ActionRun kRuns[] = {
    {"DisableCancel", Plain},
    {"EnableCancel", Plain},
    {"TestMessage", Plain},
    {"CheckRunningApps", Plain},
    {"CheckRunningMOC", Plain},
    {"CheckRunningOutlook", Plain},
    {"CheckRunningBXRApps", RegisteredApplications},
    {"InstallCamera", Deferred(L"WQInstallerExe", L"WQInstaller.exe")},
    {"InstallQdnAndFilter", Deferred(L"QdnAxExe", L"InstallQdnAndAx.exe")},
    {"InstallRtmx", Deferred(L"RtmxDriverInstallerExe", L"RtmxDriverInstaller.exe")},
    {"UninstallCamera", FromDirectory(L"CAMERADRIVER", L"WQInstaller.exe")},
    {"UninstallQdnAndFilter", FromDirectory(L"INSTALLDIR", L"InstallQdnAndAx.exe")},
    {"UninstallRtmx", RtmxFolder},
    {"SetRtmxPath", Plain},
};

// What CoInitializeEx answers on this thread; the probe itself is undone.
HRESULT ComProbe() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

// Runs the action on a thread of its own, as the installer does, and reports
// whether COM on that thread answered the same before and after.
bool RunWithComProbe(const char* action, MSIHANDLE session) {
    bool balanced = false;
    std::thread caller([&] {
        const HRESULT before = ComProbe();
        bench::CallAction(action, session);
        balanced = ComProbe() == before;
    });
    caller.join();
    return balanced;
}

TEST(Hygiene, NoActionLeavesAHandleKeyGuiObjectOrComStateBehind) {
    for (const ActionRun& run : kRuns) {
        SCOPED_TRACE(run.action);
        Stage stage;
        auto session = run.setup(stage);
        // A first run lets the installer and system DLLs open what they keep
        // for the rest of the process (caches, loaded modules).
        RunWithComProbe(run.action, session->Handle());
        const bench::Census before = bench::Census::Take();
        EXPECT_TRUE(RunWithComProbe(run.action, session->Handle())) << "COM left changed";
        EXPECT_EQ(before.Growth(bench::Census::Take()), L"");
    }
}

}  // namespace
