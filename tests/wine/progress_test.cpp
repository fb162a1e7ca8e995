// What a person watching the progress sees: one action-data message per unit of work; a long run saying so.
#include <gtest/gtest.h>

#include <map>

#include "bench/action_runs.h"
#include "bench/bench.h"
#include "bench/components_bench.h"
#include "runtime/process.h"

namespace {

// Every run of the hygiene and working tables, each data message answered Cancel (which stops nothing), sends its
// units in field 1 with field 0 empty, which Wine's installer fills with the template of the action's own start;
// unlisted runs send none. A unit in a folder of the test's own ends as given.
TEST(Progress, EachRunShowsOneDataMessagePerUnitOfWork) {
    const bench::KeptProgramsEnd keptProgramsEnd;
    struct Row { size_t count; std::wstring first, last; };
    const std::wstring quickLaunch = L"\\Microsoft\\Internet Explorer\\Quick Launch";
    const Row url{14, L"http://+:8191/", L"http://+:44452/"}, levels{4, L"enterprise", L"machine"};
    const Row logs{3, L"\\Logs", L"\\Logs\\old\\older"}, images{17, L"LinkBridges.dll", L"TenvorNameCard.dll"};
    const std::map<std::string, Row> rows = {  // and each run that waits for its program: that program's path
        {"netshOperations deferred hygiene", url}, {"httpcfgOperations deferred hygiene", url},
        {"httpcfgOperations deferred working", url}, {"netshUndoOperations deferred hygiene", url},
        {"httpcfgUndoOperations deferred hygiene", url}, {"CaspolOperations deferred hygiene", levels},
        {"CaspolOperationsC2C deferred hygiene", levels},
        {"CaspolUndoOperations deferred hygiene", {2, L"enterprise", L"machine"}},
        {"ProcessNGENInstall deferred working", images}, {"ProcessNGENUnInstall deferred working", images},
        {"RemoveLogs working", logs}, {"RemoveLogs commit working", logs},
        {"CreateShortcuts working", {5, L"\\All Users\\DeskTop", L"\\Bob\\Application Data" + quickLaunch}},
        {"CreateShortcuts deferred working", {3, L"\\me\\Desktop", L"\\me\\AppData" + quickLaunch}},
        {"RemoveShortcuts working", {4, L"\\profiles\\All Users", L"\\profiles\\Bob"}},
    };
    // BITS counts as absent, so that InstallBits runs its setup.
    bench::RegistryValueOverride appId(HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", REG_DWORD, {1, 0, 0, 0});
    for (const auto* table : {&bench::ActionRuns(), &bench::WorkingRuns()})
        for (const bench::ActionRun& run : *table) {
            const std::string key = run.Label() + " " + run.stage;
            SCOPED_TRACE(key);
            const auto found = rows.find(key);
            const Row listed = found == rows.end() ? Row{0, L"", L""} : found->second;
            const bool ownStart = run.action == std::string("RemoveLogs") || run.action == std::string("CaspolOperationsC2C");
            // Made and deleted: an adding run's record would keep the undo runs from their work.
            bench::RegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared");
            bench::Stage stage;
            auto session = run.setup(stage);
            const Row row = run.waits ? Row{1, stage.programs.back()->Path(), L""} : listed;
            session->Answer(INSTALLMESSAGE_ACTIONDATA, {IDCANCEL});
            // A stage that installs another product sees that installation's messages first.
            const auto dataBefore = session->Messages(INSTALLMESSAGE_ACTIONDATA).size();
            const auto startsBefore = session->Messages(INSTALLMESSAGE_ACTIONSTART).size();
            run.Call(session->Handle());
            auto data = session->Messages(INSTALLMESSAGE_ACTIONDATA);
            data.erase(data.begin(), data.begin() + dataBefore);
            auto starts = session->Messages(INSTALLMESSAGE_ACTIONSTART);
            starts.erase(starts.begin(), starts.begin() + startsBefore);
            ASSERT_EQ(data.size(), row.count);
            const auto ends = [](const std::wstring& got, const std::wstring& end) { return got.rfind(end) == got.size() - end.size(); };
            if (row.count) EXPECT_TRUE(ends(data.front().Text(1), row.first) && ends(data.back().Text(1), row.last.empty() ? row.first : row.last));
            for (const bench::Message& message : data)
                EXPECT_EQ(message.fields[0].text + L"|" + std::to_wstring(message.FieldCount()), ownStart ? L"{{: }}[1]|1" : L"|1");
            for (const bench::Message& start : starts)
                EXPECT_EQ(start.Text(3), ownStart ? L"[1]" : L"");
        }
}

// Past each report time a program is logged and shown as still running until it ends (here: at the third report).
TEST(Progress, AProgramStillRunningIsReportedAtEachIntervalUntilItEnds) {
    auto session = bench::Package().Open();
    const kci::ScopedHandle ended(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int heard = 0;  // lines and data together: either missing still ends the wait
    const auto count = [&](const bench::Message&) { if (++heard == 6) SetEvent(ended.Get()); };
    session->OnMessage(INSTALLMESSAGE_INFO, count).OnMessage(INSTALLMESSAGE_ACTIONDATA, count);
    EXPECT_EQ(kci::WaitReportingLongRuns(session->Handle(), ended.Get(), L"C:\\d\\WQ.exe", 20), WAIT_OBJECT_0);
    const bench::Lines lines = {L"C:\\d\\WQ.exe still running after 20 ms", L"C:\\d\\WQ.exe still running after 40 ms",
                                L"C:\\d\\WQ.exe still running after 60 ms"};
    EXPECT_EQ(session->Log(), lines);
    for (const bench::Message& message : session->Messages(INSTALLMESSAGE_ACTIONDATA)) EXPECT_EQ(message.Text(1), lines.at(heard++ - 6));
}

}  // namespace
