// Every call the library makes to Windows can fail. For each action of the
// hygiene table, a clean run notes the call sites it reaches (imported
// function and return address); then each site fails once (the first time it
// is reached) and then always. Every such run must end within 30 s, leave
// nothing behind, and return a result the action reference allows. A run
// that ends with the clean run's result and says nothing the clean run did
// not is a silent success: each must have its line in docs/failure-paths.md.
//
// Each action is swept in a child: this runner started again on the one
// disabled test below, so that a crash or a hang costs one run, not the sweep.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "action_thread.h"
#include "bench/action_runs.h"
#include "bench/bench.h"
#include "bench/census.h"
#include "bench/fault_imports.h"

namespace {

namespace fault = bench::fault;

// What each action may return, from docs/actions.md; empty: any number.
const std::map<std::string, std::set<UINT>> kAllowedResults = {
    {"DisableCancel", {0}}, {"EnableCancel", {0}}, {"TestMessage", {0}},
    {"CheckRunningApps", {0, 1602}}, {"CheckRunningMOC", {0, 1602}}, {"CheckRunningOutlook", {0, 1602}},
    {"CheckRunningBXRApps", {0, 1602}}, {"CheckRunningC2CApps", {0, 1602}},
    {"InstallCamera", {0}}, {"InstallQdnAndFilter", {0}}, {"InstallRtmx", {0}},
    {"UninstallCamera", {0}}, {"UninstallQdnAndFilter", {0}}, {"UninstallRtmx", {0}},
    {"SetRtmxPath", {0}}, {"CheckQDNDriverOpen", {0}}, {"InstallBits", {0, 1603}},
    {"CreateDisplayableVersion", {0}}, {"PrecertificationFailureCount", {0}}, {"ForceFullDump", {0}},
    {"CreateShortcuts", {0}}, {"RemoveShortcuts", {0}}, {"RemoveLogs", {0}}, {"NukeRegistrySettings", {0}},
    {"CpuSpeedInMhz", {}}, {"CpuHasMinimumInstructionSet", {0, 1}},
    {"netshOperations", {0}}, {"httpcfgOperations", {0}}, {"CaspolOperations", {0}},
    {"CaspolOperationsC2C", {0}}, {"ProcessNGENInstall", {0}}, {"ProcessNGENUnInstall", {0}},
    {"netshUndoOperations", {0}}, {"httpcfgUndoOperations", {0}}, {"CaspolUndoOperations", {0}},
    {"UndoForceFullDump", {0}}, {"RequestRecordedReboot", {0}},
};

constexpr DWORD kRunLimitMs = 30000;

TEST(FaultSweep, TheImportTableListsEveryImportOfTheLibrary) {
    std::set<std::string> imported, listed;
    harness::ForEachImport(bench::Library(), [&](const std::string& dll, const std::string& name, void**) {
        imported.insert(fault::ImportKey(dll, name));
    });
    for (const fault::Import& row : fault::Imports()) listed.insert(fault::ImportKey(row.dll, row.name));
    EXPECT_EQ(listed, imported);
}

// ---- the child: one action, from run `from` on ------------------------------
// It writes "site <i> <what>" per site, then "begin <i>" and "end <i>
// <injected> <result> <allowed> <silent> <leak>" per run, then "done".

// Everything the session heard, in order.
std::vector<std::wstring> Said(const bench::Session& session) {
    std::vector<std::wstring> said;
    for (const bench::Message& message : session.Messages()) {
        std::wstring line = std::to_wstring(message.type);
        for (const bench::Field& field : message.fields)
            line += L"|" + (field.isInteger ? std::to_wstring(field.integer) : field.text);
        said.push_back(line);
    }
    return said;
}

std::string Env(const char* name) {
    char value[MAX_PATH] = {};
    return GetEnvironmentVariableA(name, value, MAX_PATH) < MAX_PATH ? value : "";
}

// A crash ends the child at once with its code, rather than in a debugger.
LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* crash) {
    TerminateProcess(GetCurrentProcess(), crash->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

TEST(FaultSweep, DISABLED_OneAction) {
    const std::string action = Env("KCI_FAULT_ACTION");
    std::ofstream out(Env("KCI_FAULT_OUT"), std::ios::app);
    SetUnhandledExceptionFilter(EndAtOnce);
    const bench::ActionRun* run = nullptr;
    for (const bench::ActionRun& candidate : bench::ActionRuns())
        if (candidate.Label() == action) run = &candidate;
    ASSERT_TRUE(run) << action;
    fault::Patch(bench::Library());

    bench::Stage stage;
    auto session = run->setup(stage);
    UINT result = 0;
    auto call = [&] {
        session->ClearRecords();
        return actions::KeepsComState([&] { result = run->Call(session->Handle()); });
    };
    call();  // the warm-up: caches the installer and system DLLs keep
    fault::Record();
    call();
    const UINT cleanResult = result;
    const std::vector<std::wstring> cleanSaid = Said(*session);
    const std::vector<fault::Site> sites = fault::Sites();
    for (size_t i = 0; i < sites.size(); ++i) out << "site " << i << " " << fault::Describe(sites[i]) << std::endl;

    const std::set<UINT>& allowed = kAllowedResults.at(run->action);
    auto failRun = [&](const fault::Site& site, bool always) {  // what it left behind
        const bench::Census before = bench::Census::Take();
        fault::Arm(site, always);
        const bool comKept = call();
        fault::Disarm();
        const std::wstring leak = before.LastingGrowth(run->leavesProgramsRunning);
        return std::string(leak.begin(), leak.end()) + (comKept ? "" : " COM left changed;");
    };
    for (size_t i = atoi(Env("KCI_FAULT_FROM").c_str()); i < 2 * sites.size(); ++i) {
        out << "begin " << i << std::endl;
        const bool always = i >= sites.size();
        std::string leak = failRun(sites[i % sites.size()], always);
        const int injected = fault::Injected();
        const UINT failedResult = result;
        const bool silent = result == cleanResult && Said(*session) == cleanSaid;
        // A path's first run may open what the installer or a system DLL then
        // keeps (as the warm-up does for the clean path): a leak repeats.
        if (!leak.empty()) leak = failRun(sites[i % sites.size()], always);
        out << "end " << i << " " << injected << " " << failedResult << " "
            << (allowed.empty() || allowed.count(failedResult)) << " " << silent << leak << std::endl;
    }
    out << "done" << std::endl;
}

// ---- the parent: one child per action, started again after a crash or hang --

struct Tally {
    std::vector<std::string> sites;  // "CreateFileW at +0x1a2b"
    int crashes = 0, hangs = 0, leaks = 0;
    std::set<std::string> silentRuns, silentImports;  // "Action, Import"
    std::set<size_t> silentSites;
    std::vector<std::string> faults;
    std::string How(size_t run) const {
        return sites[run % sites.size()] + (run < sites.size() ? " failing once" : " failing always");
    }
};

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs the child on `action` from run `from`; false when it hung (and was ended).
bool RunChild(const std::string& action, size_t from, const std::string& out, DWORD& exitCode) {
    SetEnvironmentVariableA("KCI_FAULT_ACTION", action.c_str());
    SetEnvironmentVariableA("KCI_FAULT_FROM", std::to_string(from).c_str());
    SetEnvironmentVariableA("KCI_FAULT_OUT", out.c_str());
    const std::wstring self = bench::BuildFolder() + L"\\kci_wine_tests.exe";
    std::wstring command = L"\"" + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=FaultSweep.DISABLED_OneAction";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessW(self.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &child);
    CloseHandle(nul);
    if (!started) throw std::runtime_error("cannot start the sweep's child");
    size_t seen = 0;
    auto lastNews = std::chrono::steady_clock::now();
    bool hung = false;
    while (WaitForSingleObject(child.hProcess, 200) == WAIT_TIMEOUT) {
        const size_t lines = ReadLines(out).size();
        if (lines != seen) seen = lines, lastNews = std::chrono::steady_clock::now();
        // The two clean runs come before the first line.
        const auto limit = std::chrono::milliseconds(seen == 0 ? 3 * kRunLimitMs : kRunLimitMs);
        if (std::chrono::steady_clock::now() - lastNews > limit) {
            TerminateProcess(child.hProcess, WAIT_TIMEOUT);
            WaitForSingleObject(child.hProcess, INFINITE);
            hung = true;
        }
    }
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return !hung;
}

Tally SweepAction(const std::string& action, const std::string& label) {
    Tally tally;
    const std::wstring folder = bench::BuildFolder();
    const std::string out = std::string(folder.begin(), folder.end()) + "\\fault-sweep.txt";
    for (size_t from = 0;;) {
        DeleteFileA(out.c_str());
        DWORD exitCode = 0;
        const bool ended = RunChild(label, from, out, exitCode);
        long begun = -1;
        tally.sites.clear();
        for (const std::string& line : ReadLines(out)) {
            std::istringstream words(line);
            std::string word, leak;
            size_t i = 0;
            words >> word >> i;
            if (word == "done") return tally;
            if (word == "site") tally.sites.emplace_back(), std::getline(words >> std::ws, tally.sites.back());
            if (word == "begin") begun = static_cast<long>(i);
            if (word != "end") continue;
            begun = -1;
            int injected = 0, allowed = 0, silent = 0;
            UINT result = 0;
            words >> injected >> result >> allowed >> silent;
            std::getline(words, leak);
            if (!leak.empty()) ++tally.leaks, tally.faults.push_back("leak" + leak + " with " + tally.How(i));
            if (!allowed) tally.faults.push_back("result " + std::to_string(result) + " with " + tally.How(i));
            if (injected > 0 && silent && allowed) {
                const std::string& site = tally.sites[i % tally.sites.size()];
                tally.silentSites.insert(i % tally.sites.size());
                tally.silentRuns.insert(tally.How(i));
                tally.silentImports.insert(action + ", " + site.substr(0, site.find(' ')));
            }
        }
        if (tally.sites.empty() || begun < 0) {
            ++tally.crashes, tally.faults.push_back("the clean run ended with code " + std::to_string(exitCode));
            return tally;
        }
        if (ended) ++tally.crashes, tally.faults.push_back("crash (code " + std::to_string(exitCode) + ") with " + tally.How(begun));
        else ++tally.hangs, tally.faults.push_back("hang with " + tally.How(begun));
        from = static_cast<size_t>(begun) + 1;
    }
}

// The "- Action, Import: why" lines of docs/failure-paths.md ("every action"
// for a failure that is silent wherever it happens).
std::set<std::string> DocumentedSilentSuccesses() {
    std::set<std::string> documented;
    std::ifstream doc(KCI_SOURCE_DIR "/docs/failure-paths.md");
    for (std::string line; std::getline(doc, line);)
        if (line.rfind("- ", 0) == 0 && line.find(':') != std::string::npos)
            documented.insert(line.substr(2, line.find(':') - 2));
    return documented;
}

TEST(FaultSweep, EveryCallSiteOfEveryActionFailsWithoutCrashHangOrLeak) {
    const auto started = std::chrono::steady_clock::now();
    const std::set<std::string> documented = DocumentedSilentSuccesses();
    size_t sites = 0, actionsSwept = 0;
    int crashes = 0, hangs = 0, leaks = 0;
    for (const bench::ActionRun& run : bench::ActionRuns()) {
        SCOPED_TRACE(run.Label());
        if (!kAllowedResults.count(run.action)) {
            ADD_FAILURE() << "no allowed results for " << run.action;
            continue;
        }
        const Tally tally = SweepAction(run.action, run.Label());
        printf("fault sweep %s: %zu call sites, %d crashes, %d hangs, %d leaks, %zu silent successes\n", run.Label().c_str(),
               tally.sites.size(), tally.crashes, tally.hangs, tally.leaks, tally.silentSites.size());
        for (const std::string& fault : tally.faults) ADD_FAILURE() << fault;
        for (const std::string& how : tally.silentRuns) printf("fault sweep %s: silent with %s\n", run.Label().c_str(), how.c_str());
        for (const std::string& silent : tally.silentImports)
            EXPECT_TRUE(documented.count(silent) || documented.count("every action" + silent.substr(silent.find(','))))
                << "silent success not in docs/failure-paths.md: " << silent;
        EXPECT_FALSE(tally.sites.empty());
        sites += tally.sites.size(), crashes += tally.crashes, hangs += tally.hangs, leaks += tally.leaks;
        ++actionsSwept;
    }
    printf("fault sweep: %zu call sites in %zu actions, %d crashes, %d hangs, %d leaks\n", sites, actionsSwept, crashes,
           hangs, leaks);
    printf("fault sweep took %lld s\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                            std::chrono::steady_clock::now() - started).count()));
}

}  // namespace
