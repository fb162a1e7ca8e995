// Every action leaves the process as it found it: no kernel handle, registry
// key, GDI or USER object more, and COM on the calling thread as it was.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "action_thread.h"
#include "bench/action_runs.h"
#include "bench/census.h"

namespace {

TEST(Hygiene, EveryExportedActionHasARun) {
    std::set<std::string> covered;
    for (const bench::ActionRun& run : bench::ActionRuns()) covered.insert(run.action);
    EXPECT_EQ(covered, bench::ExportedActions(bench::Library()));
}

TEST(Hygiene, NoActionLeavesAHandleKeyGuiObjectOrComStateBehind) {
    for (const bench::ActionRun& run : bench::ActionRuns()) {
        SCOPED_TRACE(run.Label());
        bench::Stage stage;
        auto session = run.setup(stage);
        // A first run lets the installer and system DLLs open what they keep
        // for the rest of the process (caches, loaded modules).
        actions::KeepsComState([&] { run.Call(session->Handle()); });
        const auto measured = [&] {
            EXPECT_TRUE(actions::KeepsComState([&] { run.Call(session->Handle()); })) << "COM left changed";
        };
        // Wine keeps every process's windows and menus in one table: programs
        // an action leaves running move its slots, whatever this process holds.
        EXPECT_EQ(bench::RepeatedGrowth(measured, run.leavesProgramsRunning), L"");
    }
}

// A leak repeats, so it still fails the census: a key, a process handle, a
// brush and a menu each left open by every run.
TEST(Hygiene, APlantedLeakOfEachKindFailsTheCensus) {
    std::vector<std::function<void()>> undo;  // each run's leak, closed at the end
    const struct { std::function<void()> leak; const wchar_t* growth; } rows[] = {
        {[&] { HKEY key = nullptr; RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
               undo.push_back([key] { RegCloseKey(key); }); }, L"more registry keys"},
        {[&] { HANDLE self = OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId());
               undo.push_back([self] { CloseHandle(self); }); }, L"more handles"},
        {[&] { HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6)); undo.push_back([brush] { DeleteObject(brush); }); },
         L"a GDI object slot stays taken"},
        {[&] { HMENU menu = CreateMenu(); undo.push_back([menu] { DestroyMenu(menu); }); },
         L"a USER object slot stays taken"},
    };
    for (const auto& row : rows)
        EXPECT_NE(bench::RepeatedGrowth(row.leak, false).find(row.growth), std::wstring::npos) << row.growth;
    EXPECT_EQ(undo.size(), 8u);  // every leak was run a second time
    for (const auto& close : undo) close();
}

}  // namespace
