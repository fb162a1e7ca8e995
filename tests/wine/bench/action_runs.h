// One run of every exported action, with the session, files and keys its
// main path needs: shared by the hygiene test and the overhead benchmark.
#pragma once

#include <windows.h>
#include <msi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/registry_key.h"
#include "bench/stand_in.h"
#include "bench/temp_files.h"
#include "harness/run_mode.h"
#include "harness/session.h"
#include "runtime/core/named_fields.h"

namespace bench {

// The folder, stand-ins and keys one run needs, kept while it runs.
struct Stage {
    TempDir dir;
    std::unique_ptr<RuntimeFolder> runtime;
    std::vector<std::unique_ptr<StandIn>> programs;
    std::vector<std::unique_ptr<RegistryKey>> keys;
    std::vector<std::shared_ptr<void>> held;  // profiles, running programs, watchers

    std::wstring Program(const std::wstring& name);  // a stand-in in `dir`; its path
    template <class T, class... A>
    T& Hold(A&&... arguments) {
        auto item = std::make_shared<T>(std::forward<A>(arguments)...);
        held.push_back(item);
        return *item;
    }
};

// The fault sweep's lanes. The first three run side by side; Alone runs by
// itself after them, so that its runs can compare USER objects, a table Wine
// keeps for every process of the prefix, which other lanes' programs move.
enum class Lane {
    Rest,
    Programs,  // looks for programs, or starts one and waits for it
    Records,   // the library's records under HKLM, and the policy and native-image tools (one runtime folder)
    Alone,     // shows the prompt or a box
};

// One row, built by named field, as in
//   ActionRun().Named("InstallCamera").SetUp(...).WaitsForItsProgram()
struct ActionRun {
    using Setup = std::function<std::unique_ptr<harness::Session>(Stage&)>;

    const char* action = nullptr;
    const char* stage = "hygiene";  // "working": the action does all of its work
    Setup setup;
    std::vector<UINT> alsoReturns;  // beyond what docs/actions.md allows in any stage
    bool waits = false;  // starts a program and waits for it as long as it runs
    Lane lane = Lane::Rest;
    // Starts programs and leaves them running: under Wine their windows and
    // menus share one table with this process's.
    bool leavesProgramsRunning = false;
    // A script form's run: the library's MsiGetMode import answers this mode.
    harness::RunMode mode = harness::RunMode::Immediate;

    ActionRun Named(const char* name) const { return kci::WithField(*this, &ActionRun::action, name); }
    ActionRun SetUp(Setup how) const { return kci::WithField(*this, &ActionRun::setup, std::move(how)); }
    ActionRun Working() const { return kci::WithField(*this, &ActionRun::stage, "working"); }
    ActionRun AlsoReturns(UINT result) const { return kci::WithField(*this, &ActionRun::alsoReturns, std::vector<UINT>{result}); }
    ActionRun InLane(Lane which) const { return kci::WithField(*this, &ActionRun::lane, which); }
    ActionRun WaitsForItsProgram() const {
        return kci::WithField(*this, &ActionRun::waits, true).InLane(Lane::Programs);
    }
    ActionRun LeavesProgramsRunning() const { return kci::WithField(*this, &ActionRun::leavesProgramsRunning, true); }
    ActionRun FromScript(harness::RunMode how) const { return kci::WithField(*this, &ActionRun::mode, how); }

    std::string Label() const;          // "RemoveLogs", or "RemoveLogs commit" for a script form
    UINT Call(MSIHANDLE handle) const;  // the action, in the row's mode
};

// One hygiene stage per exported action.
const std::vector<ActionRun>& ActionRuns();
// The stages in which an action does all of its work (the Logs tree removed,
// the shortcuts made, the prompt shown): the fault sweep runs these as well.
// A new stage is one more row here.
const std::vector<ActionRun>& WorkingRuns();
// Ends, as it goes, the programs the stages keep running from one stage to
// the next: a test that walks the stages leaves none behind for later tests.
struct KeptProgramsEnd {
    KeptProgramsEnd() = default;
    KeptProgramsEnd(const KeptProgramsEnd&) = delete;
    KeptProgramsEnd& operator=(const KeptProgramsEnd&) = delete;
    ~KeptProgramsEnd();
};

}  // namespace bench
