// Process lookups, the product and messenger checks, and the files-in-use
// cycle they share, against a real session and real processes.
#include <gtest/gtest.h>
#include <string>

#include "bench/bench.h"
#include "detect_common.h"
#include "detection/core/files_in_use_core.h"
#include "detection/process_lookup.h"
#include "runtime/core/named_fields.h"

using bench::Lines;
using detect::kFilesInUse;
using detect::PairList;
using detect::Steps;

namespace {

size_t CountOf(const Lines& lines, const std::wstring& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST(DetectLookup, NoMatchLogsEveryUnreadableProcessAndOneEnding) {
    auto session = bench::Package().Open();
    EXPECT_FALSE(kci::FindRunningProcessByName(session->Handle(), L"kci-nothing-by-this-name.exe"));

    Lines log = session->Log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], L"Entering FindRunningProcessByName");
    EXPECT_EQ(log[1], L"Find kci-nothing-by-this-name.exe");
    int processes = 0;
    ASSERT_EQ(swscanf(log[2].c_str(), L"Found %d processses", &processes), 1) << bench::Narrow(log[2]);
    EXPECT_GT(processes, 1);
    EXPECT_EQ(log.back(), L"No matches in enumerated processes!");
    EXPECT_EQ(CountOf(log, L"No matches in enumerated processes!"), 1u);
    // In between, one line for each process that could not be read, and only
    // those: the idle process and Wine's 64-bit services at least.
    Lines between(log.begin() + 3, log.end() - 1);
    EXPECT_GE(between.size(), 1u);
    EXPECT_LE(between.size(), static_cast<size_t>(processes));
    for (const auto& line : between) EXPECT_TRUE(detect::IsWalkLine(line)) << bench::Narrow(line);
}

TEST(DetectLookup, WholeImageNameCaseIgnoredAndTheWalkStopsAtTheMatch) {
    bench::DummyProcess outlook(L"OUTLOOK.EXE");
    auto session = bench::Package().Open();
    for (const wchar_t* target : {L"OUTLOOK.EXE", L"outlook.exe", L"Outlook.Exe"}) {
        session->ClearRecords();
        EXPECT_TRUE(kci::FindRunningProcessByName(session->Handle(), target)) << bench::Narrow(target);
        EXPECT_EQ(session->Log().back(), L"This is a match: process OUTLOOK.EXE");
    }
    for (const wchar_t* target : {L"OUTLOOK.EX", L"XOUTLOOK.EXE", L"OUTLOOK.EXE ", L"OUTLOOK"}) {
        session->ClearRecords();
        EXPECT_FALSE(kci::FindRunningProcessByName(session->Handle(), target)) << bench::Narrow(target);
        EXPECT_EQ(session->Log().back(), L"No matches in enumerated processes!");
    }
}

// A 32-bit process cannot list a 64-bit one's modules; its name then comes
// from its image path. Real machines run 64-bit mail clients.
TEST(DetectLookup, A64BitApplicationIsFoundByItsImagePath) {
    bench::DummyProcess outlook(L"OUTLOOK.EXE", bench::Bitness::x64);
    auto session = bench::Package().Open();
    EXPECT_TRUE(kci::FindRunningProcessByName(session->Handle(), L"outlook.exe"));
    Lines log = session->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], L"Failed to EnumProcessModules");
    EXPECT_EQ(log.back(), L"This is a match: process OUTLOOK.EXE");

    session->ClearRecords();
    session->Answer(kFilesInUse, {IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);
    EXPECT_EQ(CountOf(session->Log(), L"This is a match: process OUTLOOK.EXE"), 1u);
    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"OUTLOOK.EXE", L"Microsoft Outlook"}}));
}

TEST(DetectLookup, EveryProcessHandleIsClosed) {
    bench::DummyProcess word(L"winword.exe");
    auto session = bench::Package().Open();
    // Wine's GetProcessHandleCount always answers 0. Its handle table hands
    // out the lowest free slot, though: a handle left open by the lookups
    // would take the slot this probe frees.
    HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(kci::IsRunning(session->Handle(), kci::FindWORD));
        EXPECT_FALSE(kci::IsRunning(session->Handle(), kci::FindEXCEL));
    }
    HANDLE after = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(after);
    EXPECT_EQ(after, probe);
}

TEST(DetectProducts, NothingRunningNoPrompt) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CheckRunningApps", *session), 0u);
    EXPECT_TRUE(session->Messages(kFilesInUse).empty());
    EXPECT_EQ(Steps(*session), (Lines{
        L"Entering CheckRunningApps",
        L"Entering FindFENWA", L"No matches in enumerated processes!",
        L"Entering FindDRAVO", L"No matches in enumerated processes!",
        L"Entering FindKORVI", L"No matches in enumerated processes!", L"Checking KORVI via window handle",
        L"Found no Applications to be shut down", L"Exiting CheckRunningApps with success"}));
}

TEST(DetectProducts, AllThreeInOnePromptThenCancel) {
    bench::DummyProcess older(L"TenvorPelago.exe"), newer(L"Meridia.exe"), softphone(L"FENWA9.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningApps", *session), 1602u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].type, 0x05000005u);
    EXPECT_EQ(prompts[0].FieldCount(), 6u);
    EXPECT_EQ(prompts[0].Text(0), detect::kHeading);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"FENWA9.exe", L"Tenvor Omni Chorale"},
                                                   {L"Meridia.EXE", L"Tenvor Omni Meridia"},
                                                   {L"TenvorPelago.exe", L"Tenvor Pelago"}}));
    EXPECT_EQ(Steps(*session), (Lines{
        L"Entering CheckRunningApps",
        L"Entering FindFENWA", L"This is a match: process FENWA9.exe",
        L"Entering FindDRAVO", L"This is a match: process Meridia.exe",
        L"Entering FindKORVI", L"This is a match: process TenvorPelago.exe",
        L"Found Running applications that need to be shut down", L"Result = 2",
        L"Exiting CheckRunningApps - user hit cancel"}));
}

TEST(DetectProducts, MeridiaWindowAlonePromptsForTheOlderProduct) {
    bench::TopLevelWindow window(L"Meridia");
    auto session = bench::Package().Open();
    // The user closes the window and answers Retry.
    session->OnMessage(kFilesInUse, [&](const bench::Message&) { window.Close(); });
    session->Answer(kFilesInUse, {IDRETRY});
    EXPECT_EQ(bench::CallAction("CheckRunningApps", *session), 0u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"TenvorPelago.exe", L"Tenvor Pelago"}}));
    Lines steps = Steps(*session);
    EXPECT_EQ(CountOf(steps, L"Checking KORVI via window handle"), 2u);
    EXPECT_EQ(Lines(steps.end() - 2, steps.end()),
              (Lines{L"Found no Applications to be shut down", L"Exiting CheckRunningApps with success"}));
}

TEST(DetectProducts, RetryAndIgnoreWhileRunningPromptAgain) {
    bench::DummyProcess newer(L"Meridia.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {IDRETRY, IDOK, IDCANCEL});
    EXPECT_EQ(bench::CallAction("CheckRunningApps", *session), 1602u);

    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 3u);
    for (const auto& prompt : prompts)
        EXPECT_EQ(detect::Pairs(prompt), (PairList{{L"Meridia.EXE", L"Tenvor Omni Meridia"}}));
    Lines steps = Steps(*session);
    EXPECT_EQ(CountOf(steps, L"Entering FindDRAVO"), 3u);  // a fresh detection for every prompt
    Lines answers;
    for (const auto& line : steps)
        if (line.find(L"user hit") != std::wstring::npos || line.compare(0, 9, L"Result = ") == 0) answers.push_back(line);
    EXPECT_EQ(answers, (Lines{L"Result = 4", L"CheckRunningApps - user hit RETRY", L"Result = 1",
                              L"CheckRunningApps - user hit IGNORE", L"Result = 2",
                              L"Exiting CheckRunningApps - user hit cancel"}));
}

TEST(DetectProducts, ClosingTheApplicationThenRetrySucceeds) {
    bench::DummyProcess softphone(L"FENWA9.exe");
    auto session = bench::Package().Open();
    session->OnMessage(kFilesInUse, [&](const bench::Message&) { softphone.End(); });
    session->Answer(kFilesInUse, {IDRETRY});
    EXPECT_EQ(bench::CallAction("CheckRunningApps", *session), 0u);
    EXPECT_EQ(session->Messages(kFilesInUse).size(), 1u);
    Lines steps = Steps(*session);
    EXPECT_EQ(Lines(steps.end() - 3, steps.end()),
              (Lines{L"Checking KORVI via window handle", L"Found no Applications to be shut down",
                     L"Exiting CheckRunningApps with success"}));
}

TEST(DetectMessenger, NotRunningCountsNoRecords) {
    auto session = bench::Package().Open();
    EXPECT_EQ(bench::CallAction("CheckRunningMOC", *session), 0u);
    EXPECT_TRUE(session->Messages(kFilesInUse).empty());
    EXPECT_EQ(Steps(*session), (Lines{L"Entering CheckRunningMOC", L"Entering Find Microsoft Office Communicator",
                                      L"No matches in enumerated processes!", L"records = 0",
                                      L"Found no Applications to be shut down",
                                      L"Exiting CheckRunningMOC with success"}));
}

TEST(DetectMessenger, FailedPromptShowsTheErrorBox) {
    bench::DummyProcess messenger(L"communicator.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {-1});
    bench::MessageBoxWatcher watcher;
    EXPECT_EQ(bench::CallAction("CheckRunningMOC", *session), 1602u);

    auto boxes = watcher.Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"ERROR");
    EXPECT_EQ(boxes[0].text, detect::kPromptFailedText);
    auto prompts = session->Messages(kFilesInUse);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(detect::Pairs(prompts[0]), (PairList{{L"communicator.exe", L"Microsoft Office Communicator"}}));
    EXPECT_EQ(Steps(*session), (Lines{L"Entering CheckRunningMOC", L"Entering Find Microsoft Office Communicator",
                                      L"This is a match: process communicator.exe", L"records = 2",
                                      L"Found MS Office Communicator process running that need to be shut down",
                                      L"Result = -1", L"CheckRunningMOC - Error creating MSI process",
                                      L"Could not create MSI process to show running applications."}));
}

TEST(DetectSilent, AnswersOfZeroStopAfterMaxTry) {
    bench::DummyProcess messenger(L"communicator.exe");
    auto session = bench::Package().Open();
    session->Answer(kFilesInUse, {0});
    DWORD start = GetTickCount();
    EXPECT_EQ(bench::CallAction("CheckRunningMOC", *session), 1602u);
    DWORD elapsed = GetTickCount() - start;

    EXPECT_EQ(session->Messages(kFilesInUse).size(), 10u);
    EXPECT_GE(elapsed, 9000u);   // a one-second pause between the ten prompts
    EXPECT_LT(elapsed, 20000u);
    Lines steps = Steps(*session);
    EXPECT_EQ(CountOf(steps, L"Result = 0"), 10u);
    EXPECT_EQ(Lines(steps.end() - 3, steps.end()),
              (Lines{L"Result = 0", L"Number of tries reached to MAX_TRY=10",
                     L"Terminate the install since MAX_TRY is reached at a silent install."}));
}

// Every action's own answer lines and box, from one running application each.
// One row, built by named field.
struct AnswerLines {
    const char* action = nullptr;
    const wchar_t* image = nullptr;  // the running application
    const wchar_t* ignore = nullptr;
    const wchar_t* retry = nullptr;
    const wchar_t* cancel = nullptr;
    const wchar_t* error = nullptr;  // the box shown when the prompt fails

    AnswerLines Action(const char* name) const { return kci::WithField(*this, &AnswerLines::action, name); }
    AnswerLines Running(const wchar_t* name) const { return kci::WithField(*this, &AnswerLines::image, name); }
    AnswerLines Ignore(const wchar_t* line) const { return kci::WithField(*this, &AnswerLines::ignore, line); }
    AnswerLines Retry(const wchar_t* line) const { return kci::WithField(*this, &AnswerLines::retry, line); }
    AnswerLines Cancel(const wchar_t* line) const { return kci::WithField(*this, &AnswerLines::cancel, line); }
    AnswerLines Error(const wchar_t* line) const { return kci::WithField(*this, &AnswerLines::error, line); }
};

const AnswerLines kAnswerLines[] = {
    AnswerLines()
        .Action("CheckRunningApps")
        .Running(L"FENWA9.exe")
        .Ignore(L"CheckRunningApps - user hit IGNORE")
        .Retry(L"CheckRunningApps - user hit RETRY")
        .Cancel(L"Exiting CheckRunningApps - user hit cancel")
        .Error(L"CheckRunningApps - Error creating MSI process"),
    AnswerLines()
        .Action("CheckRunningMOC")
        .Running(L"communicator.exe")
        .Ignore(L"CheckRunningMOC - user hit IGNORE")
        .Retry(L"CheckRunningMOC - user hit RETRY")
        .Cancel(L"Exiting CheckRunningMOC - user hit cancel")
        .Error(L"CheckRunningMOC - Error creating MSI process"),
    AnswerLines()
        .Action("CheckRunningOutlook")
        .Running(L"OUTLOOK.EXE")
        .Ignore(L"CheckRunningOutlook - user hit IGNORE")
        .Retry(L"CheckRunningOutlook - user hit RETRY")
        .Cancel(L"Exiting CheckRunningOutlook - user hit cancel")
        .Error(L"CheckRunningOutlook - Error creating MSI process"),
};

TEST(DetectAnswers, EachActionWritesItsOwnAnswerLinesAndShowsItsBox) {
    for (const auto& a : kAnswerLines) {
        SCOPED_TRACE(a.action);
        bench::DummyProcess running(a.image);
        {
            auto session = bench::Package().Open();
            session->Answer(kFilesInUse, {IDOK, IDRETRY, IDCANCEL});
            EXPECT_EQ(bench::CallAction(a.action, *session), 1602u);
            Lines steps = Steps(*session);
            EXPECT_EQ(CountOf(steps, a.ignore), 1u);
            EXPECT_EQ(CountOf(steps, a.retry), 1u);
            EXPECT_EQ(steps.back(), a.cancel);
            EXPECT_EQ(session->Messages(kFilesInUse).size(), 3u);
        }
        auto session = bench::Package().Open();
        session->Answer(kFilesInUse, {-1});
        bench::MessageBoxWatcher watcher;
        EXPECT_EQ(bench::CallAction(a.action, *session), 1602u);
        Lines steps = Steps(*session);
        EXPECT_EQ(Lines(steps.end() - 2, steps.end()),
                  (Lines{a.error, L"Could not create MSI process to show running applications."}));
        EXPECT_EQ(watcher.Seen().size(), 1u);
    }
}

// A front end of a silent installation (UILevel 2, the bench's own) answering Retry: the
// tenth prompt ends it, each after a pause. With a user interface only Cancel does.
TEST(DetectAnswers, SilentInstallCountsEveryAnswerAUserInterfaceDoesNot) {
    bench::DummyProcess outlook(L"OUTLOOK.EXE");
    for (const bool silent : {true, false}) {
        auto session = bench::Package().Open();
        session->SetProperty(L"UILevel", silent ? L"2" : L"5");
        std::vector<int> answers(kci::kMaxTry + 1, IDRETRY);
        answers.push_back(IDCANCEL);
        session->Answer(kFilesInUse, answers);
        const DWORD started = GetTickCount();
        EXPECT_EQ(bench::CallAction("CheckRunningOutlook", *session), 1602u);
        if (silent) EXPECT_GE(GetTickCount() - started, 9000u);
        EXPECT_EQ(session->Messages(kFilesInUse).size(), silent ? 10u : 12u);
        const Lines steps = Steps(*session);
        EXPECT_EQ(CountOf(steps, L"CheckRunningOutlook - user hit RETRY"), silent ? 10u : 11u);
        EXPECT_EQ(steps.back(), silent ? L"Terminate the install since MAX_TRY is reached at a silent install."
                                       : L"Exiting CheckRunningOutlook - user hit cancel");
    }
}

}  // namespace
