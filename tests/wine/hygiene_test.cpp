// Every action leaves the process as it found it: no kernel handle, registry
// key, GDI or USER object more, and COM on the calling thread as it was.
#include <gtest/gtest.h>

#include <set>
#include <string>

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
        const bench::Census before = bench::Census::Take();
        EXPECT_TRUE(actions::KeepsComState([&] { run.Call(session->Handle()); })) << "COM left changed";
        // Wine keeps every process's windows and menus in one table: programs
        // an action leaves running move its slots, whatever this process holds.
        const std::wstring growth = before.LastingGrowth(run.leavesProgramsRunning);
        EXPECT_EQ(growth, L"");
    }
}

}  // namespace
