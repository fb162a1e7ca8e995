// What a person watching the installer's progress sees: one action-data
// message per unit of work, and a program that runs long saying so.
#include <gtest/gtest.h>

#include <map>

#include "bench/action_runs.h"
#include "bench/bench.h"
#include "bench/components_bench.h"
#include "runtime/process.h"

namespace {

// Every run of the hygiene and working tables, each data message answered
// Cancel (which stops nothing): the runs not listed send none. "<dir>" stands
// for the stage's folder. Field 0 stays empty, so the installer shows the
// unit through the action's template, or through "[1]" where the action's own
// start gives it.
TEST(Progress, EachRunShowsOneDataMessagePerUnitOfWork) {
    struct Row { size_t count; std::wstring first, last; bool startTemplate = false; };
    const std::wstring kQuickLaunch = L"\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch";
    const Row url{14, L"http://+:8191/", L"http://+:44452/"}, levels{4, L"enterprise", L"machine"};
    const Row camera{1, L"<dir>\\WQInstaller.exe"}, qdn{1, L"<dir>\\InstallQdnAndAx.exe"};
    const Row rtmx{1, L"<dir>\\RtmxDriverInstaller.exe"}, bits{1, L"<dir>\\Bits_v15_Client_Setup.exe"};
    const Row logs{3, L"<dir>\\Logs", L"<dir>\\Logs\\old\\older", true}, images{17, L"LinkBridges.dll", L"TenvorNameCard.dll"};
    const std::map<std::string, Row> rows = {
        {"InstallCamera hygiene", camera}, {"InstallQdnAndFilter hygiene", qdn}, {"InstallRtmx hygiene", rtmx},
        {"UninstallCamera hygiene", camera}, {"UninstallQdnAndFilter hygiene", qdn}, {"UninstallRtmx hygiene", rtmx},
        {"UninstallCamera deferred hygiene", camera}, {"UninstallQdnAndFilter rollback hygiene", qdn},
        {"UninstallRtmx deferred hygiene", rtmx}, {"InstallBits hygiene", bits}, {"InstallBits deferred hygiene", bits},
        {"RemoveLogs hygiene", {0, L"", L"", true}}, {"RemoveLogs deferred hygiene", {0, L"", L"", true}},
        {"RemoveLogs commit hygiene", {0, L"", L"", true}}, {"RemoveLogs working", logs}, {"RemoveLogs commit working", logs},
        {"netshOperations hygiene", url}, {"httpcfgOperations hygiene", url}, {"httpcfgOperations working", url},
        {"netshUndoOperations hygiene", url}, {"httpcfgUndoOperations hygiene", url},
        {"CaspolOperations hygiene", levels}, {"CaspolOperationsC2C hygiene", {4, L"enterprise", L"machine", true}},
        {"CaspolUndoOperations hygiene", {2, L"enterprise", L"machine"}},
        {"ProcessNGENInstall working", images}, {"ProcessNGENUnInstall working", images},
        {"CreateShortcuts working", {5, L"<dir>\\profiles\\All Users\\DeskTop", L"<dir>\\profiles\\Bob" + kQuickLaunch}},
        {"CreateShortcuts deferred working", {3, L"<dir>\\me\\Desktop", L"<dir>\\me\\AppData" + kQuickLaunch.substr(17)}},
        {"RemoveShortcuts working", {4, L"<dir>\\profiles\\All Users", L"<dir>\\profiles\\Bob"}},
    };
    // BITS counts as absent, so that InstallBits runs its setup.
    bench::RegistryValueOverride appId(HKEY_CLASSES_ROOT, L"AppId\\BITS", L"AppID", REG_DWORD, {1, 0, 0, 0});
    for (const auto* table : {&bench::ActionRuns(), &bench::WorkingRuns()})
        for (const bench::ActionRun& run : *table) {
            const std::string key = run.Label() + " " + run.stage;
            SCOPED_TRACE(key);
            const auto found = rows.find(key);
            const Row row = found == rows.end() ? Row{0, L"", L""} : found->second;
            // An adding run's record would keep the undo runs from their work.
            bench::RegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared");  // made and deleted
            bench::Stage stage;
            auto session = run.setup(stage);
            session->Answer(INSTALLMESSAGE_ACTIONDATA, {IDCANCEL});
            run.Call(session->Handle());
            const auto data = session->Messages(INSTALLMESSAGE_ACTIONDATA);
            printf("progress %s: %zu action-data messages\n", key.c_str(), data.size());
            EXPECT_EQ(data.size(), row.count);
            if (data.size() != row.count) continue;
            for (const bench::Message& message : data) {  // Wine's installer puts the start's template in field 0
                EXPECT_EQ(message.fields[0].text, row.startTemplate ? L"{{: }}[1]" : L"");
                EXPECT_EQ(message.FieldCount(), 1u);
            }
            // "<dir>": a folder of the test's own (the stage's, or its scratch profiles'), then the rest.
            const auto matches = [](const std::wstring& got, std::wstring want) {
                if (want.rfind(L"<dir>", 0) != 0) return got == want;
                want.erase(0, 5);
                return got.find(L"\\kcidir") != std::wstring::npos && got.size() > want.size() &&
                       got.compare(got.size() - want.size(), want.size(), want) == 0 && got.find(L'\\', got.find(L"\\kcidir") + 1) == got.size() - want.size();
            };
            if (row.count) EXPECT_TRUE(matches(data.front().Text(1), row.first)) << bench::Narrow(data.front().Text(1));
            if (row.count) EXPECT_TRUE(matches(data.back().Text(1), row.last.empty() ? row.first : row.last)) << bench::Narrow(data.back().Text(1));
            for (const bench::Message& start : session->Messages(INSTALLMESSAGE_ACTIONSTART))
                EXPECT_EQ(start.Text(3), row.startTemplate ? L"[1]" : L"");
        }
}

// Waited for past each report time, a program is logged and shown as still
// running, with the time waited; the wait goes on until it ends (here: an
// event set at the third report's data).
TEST(Progress, AProgramStillRunningIsReportedAtEachIntervalUntilItEnds) {
    auto session = bench::Package().Open();
    const kci::ScopedHandle ended(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int heard = 0;  // lines and data together: either missing still ends the wait
    const auto count = [&](const bench::Message&) { if (++heard == 6) SetEvent(ended.Get()); };
    session->OnMessage(INSTALLMESSAGE_INFO, count).OnMessage(INSTALLMESSAGE_ACTIONDATA, count);
    EXPECT_EQ(kci::WaitReportingLongRuns(session->Handle(), ended.Get(), L"C:\\d\\WQInstaller.exe", 20), WAIT_OBJECT_0);
    const bench::Lines lines = {L"C:\\d\\WQInstaller.exe still running after 20 ms",
                                L"C:\\d\\WQInstaller.exe still running after 40 ms",
                                L"C:\\d\\WQInstaller.exe still running after 60 ms"};
    EXPECT_EQ(session->Log(), lines);
    bench::Lines shown;
    for (const bench::Message& message : session->Messages(INSTALLMESSAGE_ACTIONDATA)) shown.push_back(message.Text(1));
    EXPECT_EQ(shown, lines);
}

}  // namespace
