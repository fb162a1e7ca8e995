// The WMI process lookup and CheckRunningC2CApps, against real sessions and
// real processes as Wine's WMI lists them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "action_thread.h"
#include "bench/bench.h"
#include "detect_common.h"
#include "detection/wmi_lookup.h"
#include "runtime/wmi.h"

using bench::Lines;
using detect::kFilesInUse;

namespace {

const wchar_t* const kFeatures[] = {L"Firefox", L"InternetExplorer", L"Outlook", L"Excel", L"PowerPoint", L"Word"};
const wchar_t* const kImages[] = {L"firefox.exe", L"iexplore.exe", L"OUTLOOK.EXE", L"EXCEL.EXE", L"POWERPNT.EXE",
                                  L"WINWORD.EXE"};
const std::wstring kQuery = L"FindRunningProcessByNameWMI() query to WMI = SELECT * FROM Win32_Process WHERE Name = ";

// A costed session with the six features, those in `local` installed locally
// by this run and the others not.
std::unique_ptr<bench::Session> SessionWithLocal(std::set<std::wstring> local) {
    bench::Package package;
    for (const wchar_t* feature : kFeatures) package.Feature(feature);
    auto session = package.Open();
    session->Cost();
    for (const wchar_t* feature : kFeatures) session->SetFeatureLocal(feature, local.count(feature) != 0);
    return session;
}

size_t CountOf(const Lines& lines, const std::wstring& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

Lines Tail(const Lines& lines, size_t n) { return Lines(lines.end() - std::min(n, lines.size()), lines.end()); }

TEST(WmiLookup, RowsOfRunningProcessesAndNoneWhenNothingRuns) {
    auto session = bench::Package().Open();
    actions::OnActionThread(
        [&] { EXPECT_FALSE(kci::FindRunningProcessByNameWMI(session->Handle(), L"kci-nothing.exe")); });
    EXPECT_EQ(session->Log(),
              (Lines{L"FindRunningProcessByNameWMI() In", kQuery + L"\"kci-nothing.exe\"", L"WMIquery() In.",
                     L"WMIquery() Connected to ROOT\\CIMV2 WMI namespace", L"WMIquery() Out",
                     L"FindRunningProcessByNameWMI() uReturn = 0. Breaking out of the loop.",
                     L"FindRunningProcessByNameWMI() Query result - nReturn=0 isProcessRunning = 0"}));

    bench::DummyProcess first(L"firefox.exe"), second(L"firefox.exe");
    session->ClearRecords();
    actions::OnActionThread([&] { EXPECT_TRUE(kci::FindRunningProcessByNameWMI(session->Handle(), L"FIREFOX.EXE")); });
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
}

// When WMI cannot answer, the process list does. An installer thread already
// in a single-threaded apartment cannot join the multithreaded one WMI is
// asked in, and keeps its apartment; a name WQL cannot parse fails the query.
TEST(WmiLookup, WithoutWmiTheProcessListAnswers) {
    bench::DummyProcess standIn(L"kci-fallback.exe");
    struct Case { bool singleThreaded; std::wstring image; Lines wmiLines; std::wstring last; };
    const Case cases[] = {
        {true, L"KCI-FALLBACK.EXE",
         {L"WMIquery() In.", L"WMIquery() Failed to initialize COM library. Error code = 0x80010106"},
         L"This is a match: process kci-fallback.exe"},
        {false, L"kci\"quoted.exe",
         {L"WMIquery() In.", L"WMIquery() Connected to ROOT\\CIMV2 WMI namespace",
          L"WMIquery() Query for operating system name failed. Err code = 0x80041017"},
         L"No matches in enumerated processes!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.image));
        auto session = bench::Package().Open();
        std::thread([&] {
            if (c.singleThreaded) ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
            EXPECT_EQ(kci::FindRunningProcessByNameWMI(session->Handle(), c.image), c.singleThreaded);
            if (!c.singleThreaded) return;
            EXPECT_EQ(actions::ComStateOfThisThread(), RPC_E_CHANGED_MODE);
            CoUninitialize();
        }).join();
        Lines expected = c.wmiLines;
        expected.insert(expected.end(), {L"FindRunningProcessByNameWMI() WMIquery didnt return success.",
                                         L"FindRunningProcessByNameWMI() WMI not available, looking in the process list",
                                         L"Entering FindRunningProcessByName"});
        const Lines log = session->Log();
        ASSERT_GE(log.size(), expected.size() + 3);
        EXPECT_EQ(Lines(log.begin() + 2, log.begin() + 2 + expected.size()), expected);
        EXPECT_EQ(log.back(), c.last);
    }
}

// Asked to return at once, a query reports its own failure through the rows'
// Next. Wine's WMI runs a query in ExecQuery itself, so the failure is made
// here: its enumerators' Next answers WBEM_E_FAILED while the test runs.
HRESULT WINAPI FailingNext(IEnumWbemClassObject*, long, ULONG, IWbemClassObject**, ULONG* returned) {
    *returned = 0;
    return WBEM_E_FAILED;
}

TEST(WmiLookup, AQueryThatFailsWhileReadingLooksInTheProcessList) {
    bench::DummyProcess standIn(L"kci-nextfails.exe");
    auto session = bench::Package().Open();
    actions::OnActionThread([&] {
        kci::WmiQuery probe;
        ASSERT_EQ(kci::WMIquery(session->Handle(), L"SELECT * FROM Win32_Process", probe), 0u);
        void** next = *reinterpret_cast<void***>(probe.rows.Get()) + 4;  // IUnknown's 3, Reset, Next
        DWORD was = 0;
        ASSERT_TRUE(VirtualProtect(next, sizeof *next, PAGE_READWRITE, &was));
        void* const real = *next;
        *next = reinterpret_cast<void*>(&FailingNext);
        session->ClearRecords();
        EXPECT_TRUE(kci::FindRunningProcessByNameWMI(session->Handle(), L"KCI-NEXTFAILS.EXE"));
        *next = real;
        VirtualProtect(next, sizeof *next, was, &was);
    });
    const Lines log = session->Log();
    ASSERT_GE(log.size(), 9u);
    EXPECT_EQ(Lines(log.begin() + 4, log.begin() + 8),
              (Lines{L"WMIquery() Out", L"FindRunningProcessByNameWMI() Next failed. Err code = 0x80041001",
                     L"FindRunningProcessByNameWMI() WMI not available, looking in the process list",
                     L"Entering FindRunningProcessByName"}));
    EXPECT_EQ(log.back(), L"This is a match: process kci-nextfails.exe");
}

const Lines kNothingToClose = {L"Number of applications to close is 0", L"Found no Applications to be shut down",
                               L"Exiting CheckRunningC2CApps"};

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
    expected.insert(expected.end(), kNothingToClose.begin(), kNothingToClose.end());
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
    EXPECT_EQ(detect::Pairs(prompts[0]), (detect::PairList{{L"firefox.exe", L"Mozilla Firefox"},
                                                           {L"WINWORD.EXE", L"Microsoft Word - WINWORD.EXE"}}));
    Lines log = session->Log(), asked;
    for (const std::wstring line : {L"MsiGetFeatureStateW for PowerPoint. pInstalled=2 pAction=3", L"Find POWERPNT.EXE",
                                    L"Application to be closed: Mozilla Firefox",
                                    L"Application to be closed: Microsoft Word - WINWORD.EXE"})
        EXPECT_EQ(CountOf(log, line), 1u) << bench::Narrow(line);
    for (const auto& line : log)
        if (line.compare(0, kQuery.size(), kQuery) == 0) asked.push_back(line.substr(kQuery.size()));
    ASSERT_EQ(asked.size(), 12u);  // all six in each of two tries, in table order
    for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i], L"\"" + std::wstring(kImages[i % 6]) + L"\"");
    auto prompt = std::find(log.begin(), log.end(), L"Number of applications to close is 2");
    ASSERT_LE(prompt + 3, log.end());
    EXPECT_EQ(Lines(prompt, prompt + 3), (Lines{L"Number of applications to close is 2", L"Result = 4",
                                                 L"CheckRunningApps - user hit RETRY"}));
    EXPECT_EQ(Tail(log, 3), kNothingToClose) << "the second try finds nothing";
}

// A silent install ends in the tenth try. With a user interface the limit only
// resets the count, in the 10th and the 20th try; an installer that then keeps
// answering 0 is still stopped by the files-in-use cycle's own bound.
TEST(ClickToCall, TheTenthTryEndsASilentInstallAndResetsOtherwise) {
    const std::wstring reached = L"Number of tries reached to MAX_TRY=10",
                       terminate = L"Terminate the install since MAX_TRY is reached at a silent install.";
    std::vector<int> retryThenZero(19, IDRETRY);
    retryThenZero.push_back(0);
    struct Case { const wchar_t* uiLevel; std::vector<int> answers; size_t prompts; std::vector<size_t> resets;
                  Lines tail; };
    const Case cases[] = {
        {L"2", {0}, 9, {},
         {L"Result = 0", reached, L"UILevel: '2'\n", L"sscanf returned result = 1, UILevel=2 as integer", terminate,
          L"Exiting CheckRunningC2CApps"}},
        {L"5", retryThenZero, 29, {9, 19}, {L"Result = 0", reached, terminate, L"Exiting CheckRunningC2CApps"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.uiLevel));
        bench::DummyProcess firefox(L"firefox.exe");
        auto session = SessionWithLocal({L"Firefox"});
        session->SetProperty(L"UILevel", c.uiLevel);
        session->Answer(kFilesInUse, c.answers);
        EXPECT_EQ(actions::CallOnActionThread("CheckRunningC2CApps", *session), 1602u);

        const Lines log = session->Log();
        std::vector<size_t> resets;  // prompts answered before each reset
        size_t results = 0;
        for (const auto& line : log) {
            if (line.compare(0, 9, L"Result = ") == 0) ++results;
            if (line == L"Reset the number of retries to 0 since UILevel=0") resets.push_back(results);
        }
        EXPECT_EQ(session->Messages(kFilesInUse).size(), c.prompts);
        EXPECT_EQ(results, c.prompts);
        EXPECT_EQ(resets, c.resets);
        EXPECT_EQ(Tail(log, c.tail.size()), c.tail);
    }
}

}  // namespace
