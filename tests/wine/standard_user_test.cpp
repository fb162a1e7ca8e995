// Every action the WiX include schedules as an immediate row, run with a
// standard user's token as Windows gives it under UAC (Wine gives every
// action full rights). A read-only action behaves as elevated; one that
// changes the machine ends with its own failure lines: no crash, and no
// success reported for work not done.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bench/action_runs.h"
#include "bench/bench.h"
#include "bench/log_match.h"
#include "bench/standard_user.h"

namespace {

// The bench's stage for `action` run as an immediate row: its working stage,
// or else its hygiene stage.
const bench::ActionRun& StageOf(const std::string& action, bool working) {
    for (const bench::ActionRun& run : working ? bench::WorkingRuns() : bench::ActionRuns())
        if (run.action == action && run.mode == harness::RunMode::Immediate) return run;
    throw std::runtime_error("no stage for " + action);
}

struct Outcome {
    UINT result = 0;
    bench::Lines log;
    bool reboot = false;
    size_t errors = 0;
};

Outcome RunAs(const bench::ActionRun& run, const std::set<std::wstring>* elevating) {
    bench::Stage stage;
    auto session = run.setup(stage);
    Outcome outcome;
    if (elevating) {
        bench::StandardUser user(*elevating);
        outcome.result = run.Call(session->Handle());
    } else {
        outcome.result = run.Call(session->Handle());
    }
    // The stage's folder, another in each run, read as one name.
    for (std::wstring line : session->Log()) {
        for (size_t at; (at = line.find(stage.dir.Path())) != std::wstring::npos;)
            line.replace(at, stage.dir.Path().size(), L"<stage>");
        outcome.log.push_back(line);
    }
    outcome.reboot = session->RebootAtEnd();
    outcome.errors = session->Messages(INSTALLMESSAGE_ERROR).size();
    return outcome;
}

TEST(StandardUser, ImmediateRowsFailWhereWindowsRefusesThem) {
    const bench::KeptProgramsEnd keptProgramsEnd;
    struct Row {
        const char* action;
        bool working;                      // the working stage, else the hygiene stage
        std::set<std::wstring> elevating;  // programs Windows starts only elevated
        bench::Lines lines;                // in order in the log; none: as the elevated run
        bool reboot = false;
    };
    const Row rows[] = {
        {"DisableCancel", false, {}, {}},
        {"EnableCancel", false, {}, {}},
        {"TestMessage", false, {}, {}},
        {"CheckRunningApps", true, {}, {}},
        {"CheckRunningMOC", true, {}, {}},
        {"CheckRunningOutlook", true, {}, {}},
        {"CheckRunningBXRApps", true, {}, {}},
        {"CheckRunningC2CApps", true, {}, {}},
        {"CpuSpeedInMhz", false, {}, {}},
        {"CpuHasMinimumInstructionSet", false, {}, {}},
        {"CreateDisplayableVersion", false, {}, {}},
        {"PrecertificationFailureCount", true, {}, {}},
        {"CheckQDNDriverOpen", false, {}, {}},
        {"SetRtmxPath", false, {}, {}},
        {"UninstallCamera", false, {L"WQInstaller.exe"}, {L"CreateProcess failed with error: 0x2e4", L"Exiting UninstallCamera"}},
        {"UninstallQdnAndFilter", false, {L"InstallQdnAndAx.exe"}, {L"CreateProcess failed with error: 0x2e4", L"Exiting UninstallQdnAndFilter"}},
        {"UninstallRtmx", false, {L"RtmxDriverInstaller.exe"}, {L"CreateProcess failed with error: 0x2e4", L"Exiting UninstallRtmx"}},
        {"InstallBits", false, {L"Bits_v15_Client_Setup.exe"}, {}},
        // The reboot is asked for; the record, volatile, stays until the restart.
        {"RequestRecordedReboot", false, {},
         {L"A deferred action asked for a reboot: InstallCamera", L"RegOpenKeyEx returned 5"}, true},
        {"CreateShortcuts", true, {}, {L"Copying *", L"Failed to install desktop icon, result = 0x5", L"Copying *",
                                       L"Failed to install startup icon, result = 0x5"}},
        {"RemoveShortcuts", true, {}, {L"Deleting desktop icon at *", L"Result = 0", L"Error: Access denied*"}},
        {"RemoveLogs", true, {}, {}},
        {"NukeRegistrySettings", true, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        const bench::ActionRun& run = StageOf(row.action, row.working);
        const Outcome user = RunAs(run, &row.elevating);
        if (row.lines.empty()) {
            const Outcome elevated = RunAs(run, nullptr);
            EXPECT_EQ(user.result, elevated.result);
            EXPECT_EQ(user.log, elevated.log);
            EXPECT_EQ(user.errors, elevated.errors);
        } else {
            EXPECT_EQ(user.result, 0u);
            bench::ExpectInOrder(user.log, row.lines);
        }
        EXPECT_EQ(user.reboot, row.reboot);
    }
}

}  // namespace
