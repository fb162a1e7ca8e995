// One run of every exported action, with the session, files and keys its
// main path needs: shared by the hygiene test and the overhead benchmark.
#pragma once

#include <windows.h>
#include <msi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/files.h"
#include "harness/session.h"

namespace bench {

// The folder, stand-ins and keys one run needs, kept while it runs.
struct Stage {
    TempDir dir;
    std::unique_ptr<RuntimeFolder> runtime;
    std::vector<std::unique_ptr<StandIn>> programs;
    std::vector<std::unique_ptr<RegistryKey>> keys;

    std::wstring Program(const std::wstring& name);  // a stand-in in `dir`; its path
};

struct ActionRun {
    const char* action;
    std::function<std::unique_ptr<harness::Session>(Stage&)> setup;
    bool waits;  // starts a program and waits for it as long as it runs
    // Starts programs and leaves them running: under Wine their windows and
    // menus share one table with this process's.
    bool leavesProgramsRunning = false;
};

const std::vector<ActionRun>& ActionRuns();

}  // namespace bench
