// CheckRunningBXRApps: applications registered under the client framework's
// key, looked up by their value names.
#include <gtest/gtest.h>

#include <vector>

#include "bench/bench.h"
#include "detect_common.h"

using bench::Lines;
using detect::kFilesInUse;
using detect::PairList;
using detect::Steps;

namespace {

const std::wstring kKey = L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORSF\\RegisteredApplications";

// The lines of one registered application that does not run.
Lines NotRunning(const std::wstring& name, const std::wstring& displayName) {
    return {L"Process name is " + name, L"Application name is " + displayName, L"Entering FindRunningProcessByName",
            L"Find " + name, L"No matches in enumerated processes!"};
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(DetectRegistered, NoKeyNothingToClose) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 0u);
    EXPECT_TRUE(session->Messages(kFilesInUse).empty());
    EXPECT_EQ(session->Log(), (Lines{L"Entering CheckRunningApps",
                                     L"Not able to open RegisteredApplications hive. No applications to close.",
                                     L"Exiting CheckRunningApps with success"}));
}

TEST(DetectRegistered, EmptyKeyNothingRunning) {
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kKey);
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 0u);
    EXPECT_EQ(session->Log(), (Lines{L"Entering CheckRunningApps", L"Number of running registered applications is 0",
                                     L"Found no Applications to be shut down",
                                     L"Exiting CheckRunningApps with success"}));
}

TEST(DetectRegistered, SecondOfThreeRunsThenClosesBeforeRetry) {
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kKey);
    key.SetString(L"KciFirst.exe", L"First Application")
        .SetString(L"KciSecond.exe", L"Second Application")
        .SetString(L"KciThird.exe", L"Third Application");
    bench::DummyProcess second(L"KciSecond.exe");
    auto session = bench::Package().Open();
    session->OnMessage(kFilesInUse, [&](const bench::Message&) { second.End(); });
    session->Answer(kFilesInUse, {IDRETRY});
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 0u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].type, 0x05000005u);
    EXPECT_EQ(prompts[0].Text(0), detect::kHeading);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"KciSecond.exe", L"Second Application"}}));
    // The key is read afresh after the Retry.
    Lines everyValue = Concat({NotRunning(L"KciFirst.exe", L"First Application"),
                               NotRunning(L"KciSecond.exe", L"Second Application"),
                               NotRunning(L"KciThird.exe", L"Third Application")});
    Lines firstCycle = everyValue;
    firstCycle[9] = L"This is a match: process KciSecond.exe";
    EXPECT_EQ(Steps(*session), Concat({{L"Entering CheckRunningApps"}, firstCycle,
                                       {L"Number of running registered applications is 1", L"Result = 4",
                                        L"CheckRunningApps - user hit RETRY"},
                                       everyValue,
                                       {L"Number of running registered applications is 0",
                                        L"Found no Applications to be shut down",
                                        L"Exiting CheckRunningApps with success"}}));
}

TEST(DetectRegistered, NameInAnotherCaseCountsAsRunning) {
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kKey);
    key.SetString(L"KCICASE.EXE", L"Case Application");
    bench::DummyProcess running(L"KciCase.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 1602u);
    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"KCICASE.EXE", L"Case Application"}}));
    Lines steps = Steps(*session);
    EXPECT_EQ(Lines(steps.end() - 3, steps.end()),
              (Lines{L"Number of running registered applications is 1", L"Result = 2",
                     L"Exiting CheckRunningApps - user hit cancel"}));
}

TEST(DetectRegistered, FailedPromptShowsNoBox) {
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kKey);
    key.SetString(L"KciBox.exe", L"Box Application");
    bench::DummyProcess running(L"KciBox.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {-1});
    bench::MessageBoxWatcher watcher;
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 1602u);
    EXPECT_TRUE(watcher.Seen().empty());
    Lines steps = Steps(*session);
    EXPECT_EQ(Lines(steps.end() - 3, steps.end()),
              (Lines{L"Result = -1", L"CheckRunningApps - Error creating MSI process",
                     L"Could not create MSI process to show running applications."}));
}

TEST(DetectRegistered, OddDataIsReadAsTerminatedText) {
    const std::wstring full(260, L'x');  // fills the display-name buffer, no room for a terminator
    auto bytes = [](const std::wstring& text, size_t extra) {
        std::vector<BYTE> data(reinterpret_cast<const BYTE*>(text.data()),
                               reinterpret_cast<const BYTE*>(text.data() + text.size()));
        data.resize(data.size() + extra, 'y');
        return data;
    };
    bench::RegistryKey key(HKEY_LOCAL_MACHINE, kKey);
    key.SetBytes(L"KciA.exe", REG_SZ, bytes(L"Unterminated", 0))
        .SetBytes(L"KciB.exe", REG_SZ, bytes(L"Odd", 1))
        .SetBytes(L"KciC.exe", REG_SZ, bytes(full, 0))
        .SetString(L"KciD.exe", std::wstring(300, L'z'))      // longer than the buffer
        .SetString(std::wstring(300, L'N'), L"Long Name")     // no executable is called that
        .SetBytes(L"KciE.exe", REG_BINARY, bytes(L"Binary", 0))
        .SetBytes(L"KciF.exe", REG_SZ, bytes(std::wstring(L"Embedded\0Null", 13), 0));
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CheckRunningBXRApps", *session), 0u);
    EXPECT_EQ(Steps(*session), Concat({
        {L"Entering CheckRunningApps"},
        NotRunning(L"KciA.exe", L"Unterminated"),
        NotRunning(L"KciB.exe", L"Odd"),
        NotRunning(L"KciC.exe", full),
        {L"Process name is KciD.exe",
         L"Could not read the application name of KciD.exe (error 234); showing the process name",
         L"Application name is KciD.exe", L"Entering FindRunningProcessByName", L"Find KciD.exe",
         L"No matches in enumerated processes!"},
        NotRunning(L"KciE.exe", L"Binary"),
        NotRunning(L"KciF.exe", L"Embedded"),
        {L"Registered application 6 has a name longer than 259 characters; skipped",
         L"Number of running registered applications is 0", L"Found no Applications to be shut down",
         L"Exiting CheckRunningApps with success"}}));
}

}  // namespace
