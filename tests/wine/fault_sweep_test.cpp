// Every call the library makes to Windows can fail. Each action is swept in
// its hygiene stage and, where it has one, in its working stage, in which it
// does all of its work; each run gets a stage built afresh. A clean run
// counts the reaches of each call site (imported function and return
// address); then each site fails at its first, second and third reach, and
// then always. Every such run must end within 30 s, leave nothing behind, and
// return a result the action reference allows. A run that ends with the
// clean run's result and says nothing the clean run did not is a silent
// success: each must have its line in docs/failure-paths.md, as must each
// failable import that no stage reaches.
//
// Each stage is swept in a child: this runner started again on the one
// disabled test below, so that a crash or a hang costs one run, not the sweep.
// Stages run in lanes, a field of their rows (bench::Lane).
// KCI_FAULT_ONLY=<action>,<action> sweeps those actions alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "action_thread.h"
#include "bench/action_runs.h"
#include "bench/bench.h"
#include "bench/census.h"
#include "bench/fault_imports.h"
#include "bench/ui.h"
#include "runtime/handles.h"

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
    {"CreateDisplayableVersion", {0}}, {"PrecertificationFailureCount", {0, 1603}}, {"ForceFullDump", {0}},
    {"UndoForceFullDump", {0}}, {"RequestRecordedReboot", {0}},
    {"CreateShortcuts", {0}}, {"RemoveShortcuts", {0}}, {"RemoveLogs", {0}}, {"NukeRegistrySettings", {0}},
    {"CpuSpeedInMhz", {}}, {"CpuHasMinimumInstructionSet", {0, 1}},
    {"netshOperations", {0}}, {"httpcfgOperations", {0}}, {"CaspolOperations", {0}},
    {"CaspolOperationsC2C", {0}}, {"ProcessNGENInstall", {0}}, {"ProcessNGENUnInstall", {0}},
    {"netshUndoOperations", {0}}, {"httpcfgUndoOperations", {0}}, {"CaspolUndoOperations", {0}},
};

// Room for the silent files-in-use loop: ten pauses of a second, each with a lookup.
constexpr DWORD kRunLimitMs = 60000;

TEST(FaultSweep, TheImportTableListsEveryImportOfTheLibrary) {
    std::set<std::string> imported, listed;
    harness::ForEachImport(bench::Library(), [&](const std::string& dll, const std::string& name, void**) {
        imported.insert(fault::ImportKey(dll, name));
    });
    for (const fault::Import& row : fault::Imports()) listed.insert(fault::ImportKey(row.dll, row.name));
    EXPECT_EQ(listed, imported);
}

// ---- the child: one action in one stage, from run `from` on ----------------
// It writes "stage <place>", then "run <i> <reach> <site>" per run (reach 0:
// always), then "begin <i>" and "end <i> <injected> <result> <allowed>
// <silent> <leak>" per run, then "done".

// Everything the session heard, in order, each stage's own folders named alike.
std::vector<std::wstring> Said(const bench::Session& session) {
    static const std::wregex stageFolder(L"kci[a-z]*[0-9a-f]{8}_[0-9a-f]{8}_[0-9a-f]{6}");
    std::vector<std::wstring> said;
    for (const bench::Message& message : session.Messages()) {
        std::wstring line = std::to_wstring(message.type);
        for (const bench::Field& field : message.fields)
            line += L"|" + (field.isInteger ? std::to_wstring(field.integer) : field.text);
        said.push_back(std::regex_replace(line, stageFolder, L"kci#"));
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

// Every stage, hygiene then working; a child is told its stage by its place here.
const std::vector<const bench::ActionRun*>& Stages() {
    static const std::vector<const bench::ActionRun*> stages = [] {
        std::vector<const bench::ActionRun*> all;
        for (const auto* table : {&bench::ActionRuns(), &bench::WorkingRuns()})
            for (const bench::ActionRun& run : *table) all.push_back(&run);
        return all;
    }();
    return stages;
}

struct Outcome { UINT result = 0; std::vector<std::wstring> said; std::string leak; };

TEST(FaultSweep, DISABLED_OneAction) {
    std::ofstream out(Env("KCI_FAULT_OUT"), std::ios::app);
    SetUnhandledExceptionFilter(EndAtOnce);
    const size_t row = atoi(Env("KCI_FAULT_ROW").c_str());
    ASSERT_LT(row, Stages().size());
    const bench::ActionRun* run = Stages()[row];
    out << "stage " << row << std::endl;
    fault::Patch(bench::Library());

    // USER slots are compared in the lane that runs alone, whose stages show
    // the prompt or a box: the table is one for every process of the prefix,
    // and the other lanes' programs and boxes move it at any time (a slot
    // "stayed taken" at random sites of a quarter of the stages, twice in a
    // row). Wine's MessageBoxW keeps one GDI object per box shown, whoever
    // shows it (ten bare boxes answered OK take ten slots for good); the
    // library makes none of its own, as it imports nothing from gdi32. So those
    // stages are not held to the GDI slots; their handles still count.
    const bool alone = run->lane == bench::Lane::Alone;
    // Each run in a stage built afresh: the working runs take what they work
    // on. A leak repeats, in a stage built afresh again.
    auto call = [&](const std::function<void()>& arm) {
        Outcome outcome;
        bool comKept = true, first = true;
        std::unique_ptr<harness::Session> session;
        std::unique_ptr<bench::Stage> stage;
        int lines = 0;  // a run that keeps logging is alive, however long it takes
        const auto build = [&] {
            session.reset(), stage = std::make_unique<bench::Stage>(), session = run->setup(*stage);
            session->OnMessage(INSTALLMESSAGE_INFO, [&](const bench::Message&) { if (++lines % 10 == 0) out << "said" << std::endl; });
        };
        const size_t boxes = bench::BoxesAnswered();
        std::wstring leak = bench::RepeatedGrowth([&] {
            arm();
            UINT result = 0;
            comKept = actions::KeepsComState([&] { result = run->Call(session->Handle()); }) && comKept;
            fault::Disarm();
            if (first) outcome.result = result, outcome.said = Said(*session), first = false;
        }, !alone, alone, build);
        session.reset();
        // A box shown on a thread that then ends keeps a USER slot for good
        // under Wine (measured with bare boxes on threads of their own), and
        // the action runs on a thread of its own: a run that showed the box is
        // held to its handles, not to the slots.
        const std::wstring slot = L" a USER object slot stays taken;";
        if (bench::BoxesAnswered() != boxes && leak.find(slot) != std::wstring::npos) leak.erase(leak.find(slot), slot.size());
        outcome.leak = std::string(leak.begin(), leak.end()) + (comKept ? "" : " COM left changed;");
        return outcome;
    };
    call([] {});  // the warm-up: caches the installer and system DLLs keep
    const Outcome clean = call(fault::Record);
    std::vector<std::pair<fault::Site, int>> runs;  // a site and the reach that fails (0: every one)
    for (bool always : {false, true})
        for (const auto& [site, reaches] : fault::Sites())
            for (int reach = always ? 0 : 1; reach <= (always ? 0 : std::min(reaches, 3)); ++reach)
                runs.push_back({site, reach});
    for (size_t i = 0; i < runs.size(); ++i)
        out << "run " << i << " " << runs[i].second << " " << fault::Describe(runs[i].first) << std::endl;

    std::set<UINT> allowed = kAllowedResults.at(run->action);
    allowed.insert(run->alsoReturns.begin(), run->alsoReturns.end());
    for (size_t i = atoi(Env("KCI_FAULT_FROM").c_str()); i < runs.size(); ++i) {
        out << "begin " << i << std::endl;
        auto arm = [&] { fault::Arm(runs[i].first, runs[i].second == 0, runs[i].second); };
        const Outcome failed = call(arm);
        const int injected = fault::Injected();
        const bool silent = failed.result == clean.result && failed.said == clean.said;
        out << "end " << i << " " << injected << " " << failed.result << " "
            << (kAllowedResults.at(run->action).empty() || allowed.count(failed.result))
            << " " << silent << failed.leak << std::endl;
    }
    out << "done" << std::endl;
}

// ---- the parent: one child per stage, started again after a crash or hang ---

struct Tally {
    std::vector<std::string> runs;  // "CreateFileW at +0x1a2b failing at its 2nd reach"
    std::set<std::string> reaches;  // "CreateFileW at +0x1a2b, reach 2": each (site, reach) once
    int crashes = 0, hangs = 0, leaks = 0;
    std::set<std::string> silentRuns, silentImports;  // "Action, Import"
    std::vector<std::string> faults, loops;
};

enum class Exit { Ended, Hung, Looped };

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::mutex startingChild;  // the environment it inherits is the process's

// Runs the child on `row` from run `from`, writing to `out`. It is ended when
// it says nothing for the run limit (a hang), or when a run still logging
// lasts half as long: the silent files-in-use loop, which answers of 0 keep
// going. It inherits no handle (main.cpp gives it its own output), so none of
// this process's files stays open in a child of another lane.
Exit RunChild(size_t place, size_t from, const std::string& out, DWORD& exitCode) {
    std::unique_lock<std::mutex> starting(startingChild);
    SetEnvironmentVariableA("KCI_FAULT_ROW", std::to_string(place).c_str());
    SetEnvironmentVariableA("KCI_FAULT_FROM", std::to_string(from).c_str());
    SetEnvironmentVariableA("KCI_FAULT_OUT", out.c_str());
    const std::wstring self = bench::BuildFolder() + L"\\kci_wine_tests.exe";
    std::wstring command = L"\"" + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=FaultSweep.DISABLED_OneAction";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(self.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &started))
        throw std::runtime_error("cannot start the sweep's child");
    starting.unlock();
    const kci::ScopedHandle child(started.hProcess), thread(started.hThread);
    // The programs a stage runs go with a child that crashed or hung.
    const kci::ScopedHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
    limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limit, sizeof limit);
    AssignProcessToJobObject(job.Get(), child.Get());
    ResumeThread(thread.Get());
    size_t seen = 0;
    auto lastNews = std::chrono::steady_clock::now(), runBegun = lastNews;
    Exit exit = Exit::Ended;
    while (WaitForSingleObject(child.Get(), 200) == WAIT_TIMEOUT) {
        const std::vector<std::string> lines = ReadLines(out);
        const auto now = std::chrono::steady_clock::now();
        if (lines.size() != seen) seen = lines.size(), lastNews = now, runBegun = lines.back() == "said" ? runBegun : now;
        // The two clean runs come after the stage's line, before the runs'.
        const auto limit = std::chrono::milliseconds(seen <= 1 ? 3 * kRunLimitMs : kRunLimitMs);
        if (now - lastNews > limit || (seen > 0 && lines.back() == "said" && now - runBegun > limit / 2)) {
            TerminateProcess(child.Get(), WAIT_TIMEOUT);
            WaitForSingleObject(child.Get(), INFINITE);
            exit = now - lastNews > limit ? Exit::Hung : Exit::Looped;
        }
    }
    GetExitCodeProcess(child.Get(), &exitCode);
    return exit;
}

// Why the lines a child wrote for the stage at `place` are not its own alone
// (they name another stage, or hold more than one "done"); empty when they are.
std::string Refusal(const std::vector<std::string>& lines, size_t place) {
    if (!lines.empty() && lines[0] != "stage " + std::to_string(place))
        return "output of another stage (\"" + lines[0] + "\") for stage " + std::to_string(place);
    if (std::count(lines.begin(), lines.end(), "done") > 1) return "output with more than one \"done\"";
    return "";
}

// A new empty file at `path`, none being there before; false when it cannot be made so.
bool FreshFile(const std::string& path) {
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    return kci::ScopedHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)).IsValid();
}

const char* const kFailing[] = {" failing always", " failing once", " failing at its 2nd reach", " failing at its 3rd reach"};

// Each child writes to a file of its own, made fresh here and named by stage
// and attempt; output that is not the stage's own alone fails the sweep.
Tally SweepAction(const bench::ActionRun& row) {
    Tally tally;
    const size_t place = std::find(Stages().begin(), Stages().end(), &row) - Stages().begin();
    const std::wstring folder = bench::BuildFolder();
    for (size_t from = 0, attempt = 0;; ++attempt) {
        const std::string out = std::string(folder.begin(), folder.end()) + "\\fault-sweep-" + std::to_string(place) +
                                "-" + std::to_string(attempt) + ".txt";
        if (!FreshFile(out)) return tally.faults.push_back("cannot make a fresh " + out), tally;
        DWORD exitCode = 0;
        const Exit exit = RunChild(place, from, out, exitCode);
        const std::vector<std::string> lines = ReadLines(out);
        const std::string refused = Refusal(lines, place);
        if (!refused.empty() || !DeleteFileA(out.c_str()))
            return tally.faults.push_back(refused.empty() ? "cannot delete " + out : refused), tally;
        long begun = -1;
        tally.runs.clear();
        for (const std::string& line : lines) {
            std::istringstream words(line);
            std::string word, leak;
            size_t i = 0;
            words >> word >> i;
            if (word == "done") return tally;
            if (word == "run") {
                int reach = 0;
                std::string site;
                std::getline(words >> reach >> std::ws, site);
                tally.runs.push_back(site + kFailing[reach]);
                if (reach > 0) tally.reaches.insert(site + ", reach " + std::to_string(reach));
            }
            if (word == "begin") begun = static_cast<long>(i);
            if (word != "end") continue;
            begun = -1;
            int injected = 0, allowed = 0, silent = 0;
            UINT result = 0;
            words >> injected >> result >> allowed >> silent;
            std::getline(words, leak);
            if (!leak.empty()) ++tally.leaks, tally.faults.push_back("leak" + leak + " with " + tally.runs[i]);
            if (!allowed) tally.faults.push_back("result " + std::to_string(result) + " with " + tally.runs[i]);
            if (injected > 0 && silent && allowed) {
                tally.silentRuns.insert(tally.runs[i]);
                tally.silentImports.insert(std::string(row.action) + ", " + tally.runs[i].substr(0, tally.runs[i].find(' ')));
            }
        }
        if (tally.runs.empty() || begun < 0) {
            ++tally.crashes, tally.faults.push_back("the clean run ended with code " + std::to_string(exitCode));
            return tally;
        }
        if (exit == Exit::Looped) tally.loops.push_back(tally.runs[begun]);
        else if (exit == Exit::Ended) ++tally.crashes, tally.faults.push_back("crash (code " + std::to_string(exitCode) + ") with " + tally.runs[begun]);
        else ++tally.hangs, tally.faults.push_back("hang with " + tally.runs[begun]);
        from = static_cast<size_t>(begun) + 1;
    }
}

// A child's output is its stage's alone: a stale file of another stage, or one
// that two children wrote to, is refused; the file each child gets is new.
TEST(FaultSweep, TheParentRefusesOutputThatIsNotTheStagesOwn) {
    bench::TempDir dir;
    const std::string path = bench::Narrow(dir / L"fault-sweep-4-0.txt");
    const struct { const char* text; std::string refusal; } rows[] = {
        {"stage 4\nrun 0 1 CreateFileW at +0x10\ndone\n", ""},
        {"stage 3\nrun 0 1 CreateFileW at +0x10\ndone\n", "output of another stage (\"stage 3\") for stage 4"},
        {"stage 4\ndone\nstage 4\ndone\n", "output with more than one \"done\""},
    };
    for (const auto& row : rows) {
        bench::WriteFile(bench::Widen(path), row.text);
        EXPECT_EQ(Refusal(ReadLines(path), 4), row.refusal) << row.text;
        EXPECT_TRUE(FreshFile(path));
        EXPECT_TRUE(ReadLines(path).empty());
    }
}

// The "- Action, Import: why" lines of docs/failure-paths.md ("every action"
// for a failure that is silent wherever it happens), and the "- Import:
// unreached, because …" lines.
std::set<std::string> DocumentedLines() {
    std::set<std::string> documented;
    std::ifstream doc(KCI_SOURCE_DIR "/docs/failure-paths.md");
    for (std::string line; std::getline(doc, line);)
        if (line.rfind("- ", 0) == 0 && line.find(':') != std::string::npos)
            documented.insert(line.substr(2, line.find(':') - 2) +
                              (line.find(": unreached, because ") == line.find(':') ? " unreached" : ""));
    return documented;
}

TEST(FaultSweep, EveryCallSiteOfEveryActionFailsWithoutCrashHangOrLeak) {
    const auto started = std::chrono::steady_clock::now();
    const std::set<std::string> documented = DocumentedLines();
    const std::string only = Env("KCI_FAULT_ONLY");
    std::vector<const bench::ActionRun*> rows;
    for (const bench::ActionRun* run : Stages())
        if (only.empty() || ("," + only + ",").find("," + std::string(run->action) + ",") != std::string::npos)
            rows.push_back(run);
    std::vector<Tally> tallies(rows.size());
    std::vector<long long> seconds(rows.size());
    // Each stage in one child, most of whose time is spent waiting for the
    // programs it starts; a lane's stages one after another (its row's field).
    auto lane = [&](bench::Lane which) {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i]->lane != which || !kAllowedResults.count(rows[i]->action)) continue;
            const auto begun = std::chrono::steady_clock::now();
            tallies[i] = SweepAction(*rows[i]);
            seconds[i] = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begun).count();
        }
    };
    std::vector<std::thread> beside;
    for (bench::Lane which : {bench::Lane::Programs, bench::Lane::Records}) beside.emplace_back(lane, which);
    lane(bench::Lane::Rest);
    for (std::thread& other : beside) other.join();
    lane(bench::Lane::Alone);

    std::map<std::string, std::set<std::string>> reaches;  // per action, over its stages
    int crashes = 0, hangs = 0, leaks = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const bench::ActionRun& run = *rows[i];
        const Tally& tally = tallies[i];
        SCOPED_TRACE(std::string(run.stage) + " " + run.Label());
        if (!kAllowedResults.count(run.action)) {
            ADD_FAILURE() << "no allowed results for " << run.action;
            continue;
        }
        printf("fault sweep %s %s: %zu runs, %zu reaches, %d crashes, %d hangs, %d leaks, %zu silent successes, %lld s\n",
               run.stage, run.Label().c_str(), tally.runs.size(), tally.reaches.size(), tally.crashes, tally.hangs, tally.leaks,
               tally.silentRuns.size(), seconds[i]);
        for (const std::string& fault : tally.faults) ADD_FAILURE() << fault;
        for (const std::string& how : tally.loops)
            printf("fault sweep %s %s: the silent files-in-use loop with %s\n", run.stage, run.Label().c_str(), how.c_str());
        for (const std::string& how : tally.silentRuns)
            printf("fault sweep %s %s: silent with %s\n", run.stage, run.Label().c_str(), how.c_str());
        for (const std::string& silent : tally.silentImports)
            EXPECT_TRUE(documented.count(silent) || documented.count("every action" + silent.substr(silent.find(','))))
                << "silent success not in docs/failure-paths.md: " << silent;
        EXPECT_FALSE(tally.runs.empty());
        reaches[run.action].insert(tally.reaches.begin(), tally.reaches.end());
        crashes += tally.crashes, hangs += tally.hangs, leaks += tally.leaks;
    }
    size_t sites = 0;
    std::set<std::string> reached;
    for (const auto& [action, its] : reaches) {
        sites += its.size();
        for (const std::string& reach : its) reached.insert(reach.substr(0, reach.find(' ')));
    }
    for (const fault::Import& row : fault::Imports())
        if (only.empty() && row.standIn && !reached.count(row.name)) {
            printf("fault sweep: %s reached by no stage\n", row.name.c_str());
            EXPECT_TRUE(documented.count(row.name + " unreached"))
                << row.name << " is reached by no stage and has no \"unreached, because\" line in docs/failure-paths.md";
        }
    printf("fault sweep: %zu call sites in %zu actions, %d crashes, %d hangs, %d leaks\n", sites, reaches.size(),
           crashes, hangs, leaks);
    printf("fault sweep took %lld s\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                            std::chrono::steady_clock::now() - started).count()));
}

}  // namespace
