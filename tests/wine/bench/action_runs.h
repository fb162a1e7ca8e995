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

    std::wstring Program(const std::wstring& name);  // a stand-in in `dir`; its path
};

// One row, built by named field, as in
//   ActionRun().Named("InstallCamera").SetUp(...).WaitsForItsProgram()
struct ActionRun {
    using Setup = std::function<std::unique_ptr<harness::Session>(Stage&)>;

    const char* action = nullptr;
    Setup setup;
    bool waits = false;  // starts a program and waits for it as long as it runs
    // Starts programs and leaves them running: under Wine their windows and
    // menus share one table with this process's.
    bool leavesProgramsRunning = false;
    // A script form's run: the library's MsiGetMode import answers this mode.
    harness::RunMode mode = harness::RunMode::Immediate;

    ActionRun Named(const char* name) const { return kci::WithField(*this, &ActionRun::action, name); }
    ActionRun SetUp(Setup how) const { return kci::WithField(*this, &ActionRun::setup, std::move(how)); }
    ActionRun WaitsForItsProgram() const { return kci::WithField(*this, &ActionRun::waits, true); }
    ActionRun LeavesProgramsRunning() const { return kci::WithField(*this, &ActionRun::leavesProgramsRunning, true); }
    ActionRun FromScript(harness::RunMode how) const { return kci::WithField(*this, &ActionRun::mode, how); }

    std::string Label() const;          // "RemoveLogs", or "RemoveLogs commit" for a script form
    UINT Call(MSIHANDLE handle) const;  // the action, in the row's mode
};

const std::vector<ActionRun>& ActionRuns();

}  // namespace bench
