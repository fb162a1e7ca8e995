// The WMI process lookup and CheckRunningC2CApps, against real sessions and
// real processes as Wine's WMI lists them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "action_thread.h"
#include "bench/bench.h"
#include "detect_common.h"
#include "detection/wmi_lookup.h"

using bench::Lines;
using detect::kFilesInUse;
using detect::PairList;

namespace {

const wchar_t* const kFeatures[] = {L"Firefox", L"InternetExplorer", L"Outlook", L"Excel", L"PowerPoint", L"Word"};
const wchar_t* const kImages[] = {L"firefox.exe", L"iexplore.exe", L"OUTLOOK.EXE", L"EXCEL.EXE", L"POWERPNT.EXE",
                                  L"WINWORD.EXE"};

// A costed session with the six features, those in `local` installed locally
// by this run and the others not.
std::unique_ptr<bench::Session> SessionWithLocal(std::set<std::wstring> local) {
    bench::Package package;
    for (const wchar_t* feature : kFeatures) package.Feature(feature);
    auto session = package.Open();
    session->Cost();
    for (const wchar_t* feature : kFeatures) session->SetFeatureLocal(feature, local.count(feature) != 0);
    session->ClearRecords();
    return session;
}

size_t CountOf(const Lines& lines, const std::wstring& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

Lines Tail(const Lines& lines, size_t n) { return Lines(lines.end() - std::min(n, lines.size()), lines.end()); }

TEST(WmiLookup, RowsOfRunningProcessesAndNoneWhenNothingRuns) {
    auto session = bench::Package().Open();
    session->ClearRecords();
    actions::OnActionThread([&] { EXPECT_FALSE(FindRunningProcessByNameWMI(session->Handle(), L"kci-nothing.exe")); });
    EXPECT_EQ(session->Log(), (Lines{
        L"FindRunningProcessByNameWMI() In",
        L"FindRunningProcessByNameWMI() query to WMI = SELECT * FROM Win32_Process WHERE Name = \"kci-nothing.exe\"",
        L"WMIquery() In.", L"WMIquery() Connected to ROOT\\CIMV2 WMI namespace", L"WMIquery() Out",
        L"FindRunningProcessByNameWMI() uReturn = 0. Breaking out of the loop.",
        L"FindRunningProcessByNameWMI() Query result - nReturn=0 isProcessRunning = 0"}));

    bench::DummyProcess first(L"firefox.exe"), second(L"firefox.exe");
    session->ClearRecords();
    actions::OnActionThread([&] { EXPECT_TRUE(FindRunningProcessByNameWMI(session->Handle(), L"FIREFOX.EXE")); });
    Lines log = session->Log();
    EXPECT_EQ(CountOf(log, L"FindRunningProcessByNameWMI() Query result - process name:firefox.exe"), 2u);
    std::set<DWORD> ids;
    for (const auto& line : log) {
        DWORD id = 0;
        if (swscanf(line.c_str(), L"FindRunningProcessByNameWMI() Query result - process ID:%lu", &id) == 1)
            ids.insert(id);
    }
    EXPECT_EQ(ids, (std::set<DWORD>{first.Id(), second.Id()}));
    EXPECT_EQ(log.back(), L"FindRunningProcessByNameWMI() Query result - nReturn=0 isProcessRunning = 1");

    // A thread in a single-threaded apartment keeps it: the lookup answers
    // false without touching its initialisation.
    session->ClearRecords();
    const HRESULT before = actions::ComStateOfThisThread();
    ASSERT_EQ(before, RPC_E_CHANGED_MODE);
    EXPECT_FALSE(FindRunningProcessByNameWMI(session->Handle(), L"firefox.exe"));
    EXPECT_EQ(actions::ComStateOfThisThread(), before);
    EXPECT_EQ(Tail(session->Log(), 3),
              (Lines{L"WMIquery() In.", L"WMIquery() Failed to initialize COM library. Error code = 0x80010106",
                     L"FindRunningProcessByNameWMI() WMIquery didnt return success."}));
}

TEST(ClickToCall, NoFeatureLocalAsksNothing) {
    bench::DummyProcess running(L"firefox.exe");
    auto session = SessionWithLocal({});
    EXPECT_EQ(actions::CallOnActionThread("CheckRunningC2CApps", *session), 0u);
    Lines expected = {L"Entering CheckRunningC2CApps", L"MsiProcessMessage(ACTIONSTART) returned 0",
                      L"ProcessAppsToFileInUseWin In."};
    for (size_t row = 0; row < 6; ++row) {
        expected.push_back(std::wstring(L"MsiGetFeatureStateW for ") + kFeatures[row] + L". pInstalled=2 pAction=2");
        expected.push_back(std::wstring(L"No need to find the process ") + kImages[row]);
    }
    for (const wchar_t* line : {L"Number of applications to close is 0", L"Found no Applications to be shut down",
                                L"Exiting CheckRunningC2CApps"})
        expected.push_back(line);
    EXPECT_EQ(session->Log(), expected);
    EXPECT_TRUE(session->Messages(kFilesInUse).empty());
}

TEST(ClickToCall, RunningApplicationsInTableOrderThenClosed) {
    bench::DummyProcess word(L"WINWORD.EXE"), firefox(L"firefox.exe");
    auto session = SessionWithLocal({kFeatures, kFeatures + 6});
    session->OnMessage(kFilesInUse, [&](const bench::Message&) { word.End(); firefox.End(); });
    session->Answer(kFilesInUse, {IDRETRY});
    EXPECT_EQ(actions::CallOnActionThread("CheckRunningC2CApps", *session), 0u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].type, 0x05000005u);
    EXPECT_EQ(prompts[0].Text(0), detect::kHeading);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"firefox.exe", L"Mozilla Firefox"},
                                                   {L"WINWORD.EXE", L"Microsoft Word - WINWORD.EXE"}}));
    Lines log = session->Log();
    EXPECT_EQ(CountOf(log, L"MsiGetFeatureStateW for PowerPoint. pInstalled=2 pAction=3"), 1u);
    EXPECT_EQ(CountOf(log, L"Find POWERPNT.EXE"), 1u);
    const std::wstring query = L"FindRunningProcessByNameWMI() query to WMI = SELECT * FROM Win32_Process WHERE Name = ";
    Lines asked;
    for (const auto& line : log)
        if (line.compare(0, query.size(), query) == 0) asked.push_back(line.substr(query.size()));
    ASSERT_EQ(asked.size(), 12u);  // all six in each of two tries, in table order
    for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i], L"\"" + std::wstring(kImages[i % 6]) + L"\"");
    EXPECT_EQ(CountOf(log, L"Application to be closed: Mozilla Firefox"), 1u);
    EXPECT_EQ(CountOf(log, L"Application to be closed: Microsoft Word - WINWORD.EXE"), 1u);
    auto prompt = std::find(log.begin(), log.end(), L"Number of applications to close is 2");
    ASSERT_LE(prompt + 3, log.end());
    EXPECT_EQ(Lines(prompt, prompt + 3), (Lines{L"Number of applications to close is 2", L"Result = 4",
                                                 L"CheckRunningApps - user hit RETRY"}));
    EXPECT_EQ(Tail(log, 3), (Lines{L"Number of applications to close is 0", L"Found no Applications to be shut down",
                                   L"Exiting CheckRunningC2CApps"}))
        << "the second try finds nothing";
}

TEST(ClickToCall, SilentInstallEndsInTheTenthTry) {
    bench::DummyProcess firefox(L"firefox.exe");
    auto session = SessionWithLocal({L"Firefox"});
    ASSERT_EQ(session->Property(L"UILevel"), L"2");
    session->Answer(kFilesInUse, {0});
    EXPECT_EQ(actions::CallOnActionThread("CheckRunningC2CApps", *session), 1602u);

    EXPECT_EQ(session->Messages(kFilesInUse).size(), 9u);
    EXPECT_EQ(Tail(session->Log(), 6),
              (Lines{L"Result = 0", L"Number of tries reached to MAX_TRY=10", L"UILevel: '2'\n",
                     L"sscanf returned result = 1, UILevel=2 as integer",
                     L"Terminate the install since MAX_TRY is reached at a silent install.",
                     L"Exiting CheckRunningC2CApps"}));
}

// With a user interface the limit only resets the count; an installer that
// keeps answering 0 is still stopped by the files-in-use cycle's own bound.
TEST(ClickToCall, FullInterfaceResetsEveryTenthTry) {
    bench::DummyProcess firefox(L"firefox.exe");
    auto session = SessionWithLocal({L"Firefox"});
    session->SetProperty(L"UILevel", L"5");
    std::vector<int> answers(19, IDRETRY);
    answers.push_back(0);
    session->Answer(kFilesInUse, answers);
    EXPECT_EQ(actions::CallOnActionThread("CheckRunningC2CApps", *session), 1602u);

    const std::wstring reset = L"Reset the number of retries to 0 since UILevel=0";
    Lines log = session->Log();
    std::vector<int> promptsBeforeReset;
    int prompts = 0;
    for (const auto& line : log) {
        if (line.compare(0, 9, L"Result = ") == 0) ++prompts;
        if (line == reset) promptsBeforeReset.push_back(prompts);
    }
    EXPECT_EQ(promptsBeforeReset, (std::vector<int>{9, 19}));  // in the 10th and the 20th try
    EXPECT_EQ(prompts, 29);                                     // then ten answers of 0
    EXPECT_EQ(Tail(log, 4), (Lines{L"Result = 0", L"Number of tries reached to MAX_TRY=10",
                                   L"Terminate the install since MAX_TRY is reached at a silent install.",
                                   L"Exiting CheckRunningC2CApps"}));
}

}  // namespace
