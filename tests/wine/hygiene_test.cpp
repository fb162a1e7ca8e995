// Every action leaves the process as it found it: no kernel handle, registry
// key, GDI or USER object more, and COM on the calling thread as it was.
#include <gtest/gtest.h>
#include <objbase.h>

#include <set>
#include <string>
#include <thread>

#include "bench/bench.h"
#include "action_thread.h"
#include "bench/action_runs.h"
#include "bench/census.h"

namespace {

// Runs the action on a thread of its own, as the installer does, and reports
// whether COM on that thread answered the same before and after.
bool RunWithComProbe(const char* action, MSIHANDLE session) {
    bool balanced = false;
    std::thread caller([&] {
        const HRESULT before = actions::ComStateOfThisThread();
        bench::CallAction(action, session);
        balanced = actions::ComStateOfThisThread() == before;
    });
    caller.join();
    return balanced;
}

TEST(Hygiene, EveryExportedActionHasARun) {
    std::set<std::string> covered;
    for (const bench::ActionRun& run : bench::ActionRuns()) covered.insert(run.action);
    EXPECT_EQ(covered, bench::ExportedActions(bench::Library()));
}

TEST(Hygiene, NoActionLeavesAHandleKeyGuiObjectOrComStateBehind) {
    for (const bench::ActionRun& run : bench::ActionRuns()) {
        SCOPED_TRACE(run.action);
        bench::Stage stage;
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
