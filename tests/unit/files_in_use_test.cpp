#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "detection/core/files_in_use_core.h"

using namespace kci;

namespace {

const PromptTexts kTexts = PromptTexts().Count(L"records = %d", CountOf::Fields).Found(L"found line")
    .Success(L"success line").Cancel(L"cancel line").Ignore(L"ignore line").Retry(L"retry line")
    .Error(L"error line").ErrorBox();

const FilesInUseList kTwoApps = {{L"a.exe", L"A"}, {L"b.exe", L"B"}};
const FilesInUseList kNone = {};

// Scripted detections and answers; everything the cycle does is written
// into one transcript, log lines as they are and other steps in brackets.
class ScriptedSteps : public FilesInUseSteps {
public:
    ScriptedSteps(std::deque<std::optional<FilesInUseList>> detections, std::deque<int> answers)
        : detections_(std::move(detections)), answers_(std::move(answers)) {}

    std::optional<FilesInUseList> Detect() override {
        if (detections_.empty()) throw std::logic_error("detected more often than scripted");
        auto next = detections_.front();
        if (detections_.size() > 1) detections_.pop_front();  // the last one repeats
        return next;
    }
    int Prompt(const FilesInUseList& running) override {
        if (answers_.empty()) throw std::logic_error("prompted more often than scripted");
        int answer = answers_.front();
        if (answers_.size() > 1) answers_.pop_front();
        transcript.push_back(L"[prompt " + std::to_wstring(running.size()) + L"]");
        ++prompts;
        return answer;
    }
    void Log(const std::wstring& line) override { transcript.push_back(line); }
    void ShowPromptFailedBox() override { transcript.push_back(L"[box]"); }
    void Pause(unsigned ms) override { transcript.push_back(L"[pause " + std::to_wstring(ms) + L"]"); }
    bool Silent() override { return silent; }

    bool silent = false;
    std::vector<std::wstring> transcript;
    int prompts = 0;

private:
    std::deque<std::optional<FilesInUseList>> detections_;
    std::deque<int> answers_;
};

using Transcript = std::vector<std::wstring>;

}  // namespace

TEST(FilesInUseCycle, NothingRunningEndsWithoutAPrompt) {
    ScriptedSteps steps({kNone}, {});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 0u);
    EXPECT_EQ(steps.transcript, (Transcript{L"records = 0", L"Found no Applications to be shut down", L"success line"}));
}

TEST(FilesInUseCycle, NothingToLookAtEndsWithTheSuccessLineOnly) {
    ScriptedSteps steps({std::nullopt}, {});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 0u);
    EXPECT_EQ(steps.transcript, (Transcript{L"success line"}));
}

TEST(FilesInUseCycle, CountLineCountsFieldsOrApplications) {
    const PromptTexts byApplications = kTexts.Count(L"applications %d", CountOf::Applications);
    ScriptedSteps steps({kTwoApps}, {kAnswerCancel});
    RunFilesInUseCycle(byApplications, steps);
    ScriptedSteps byFields({kTwoApps}, {kAnswerCancel});
    RunFilesInUseCycle(kTexts, byFields);
    EXPECT_EQ(steps.transcript.front(), L"applications 2");
    EXPECT_EQ(byFields.transcript.front(), L"records = 4");
}

TEST(FilesInUseCycle, RetryAndIgnoreLookAgainUntilNothingRuns) {
    ScriptedSteps steps({kTwoApps, kTwoApps, kNone}, {kAnswerRetry, kAnswerOk});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 0u);
    EXPECT_EQ(steps.transcript, (Transcript{
        L"records = 4", L"found line", L"[prompt 2]", L"retry line",
        L"records = 4", L"found line", L"[prompt 2]", L"ignore line",
        L"records = 0", L"Found no Applications to be shut down", L"success line"}));
}

TEST(FilesInUseCycle, CancelStopsWithUserExit) {
    ScriptedSteps steps({kTwoApps}, {kAnswerRetry, kAnswerCancel});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 1602u);
    EXPECT_EQ(steps.prompts, 2);
    EXPECT_EQ(steps.transcript.back(), L"cancel line");
}

TEST(FilesInUseCycle, FailedPromptStopsWithTheBoxWhereTheActionWantsIt) {
    for (bool box : {true, false}) {
        PromptTexts texts = kTexts;
        texts.messageBoxOnError = box;
        ScriptedSteps steps({kTwoApps}, {kAnswerFailed});
        EXPECT_EQ(RunFilesInUseCycle(texts, steps), 1602u);
        Transcript expected = {L"records = 4", L"found line", L"[prompt 2]", L"error line",
                               L"Could not create MSI process to show running applications."};
        if (box) expected.push_back(L"[box]");
        EXPECT_EQ(steps.transcript, expected) << box;
    }
}

TEST(FilesInUseCycle, MissingLinesAreLeftOut) {
    const PromptTexts bare = PromptTexts().Count(nullptr, CountOf::Applications);
    ScriptedSteps steps({kTwoApps, kTwoApps, kTwoApps, kNone}, {kAnswerRetry, kAnswerOk, 3});
    EXPECT_EQ(RunFilesInUseCycle(bare, steps), 0u);
    EXPECT_EQ(steps.transcript, (Transcript{L"[prompt 2]", L"[prompt 2]", L"[prompt 2]",
                                            L"Found no Applications to be shut down"}));
}

TEST(FilesInUseCycle, OtherAnswersLookAgainWithoutALineOrPause) {
    ScriptedSteps steps({kTwoApps, kTwoApps, kTwoApps, kNone}, {3, 5, -2});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 0u);
    EXPECT_EQ(steps.prompts, 3);
    for (const auto& entry : steps.transcript) EXPECT_EQ(entry.find(L"[pause"), std::wstring::npos);
}

// Answers of 0 count wherever they come from; in an installation without user
// interface every answer that looks again counts, its own line first.
TEST(FilesInUseCycle, CountedAnswersPauseAndTheTenthStops) {
    struct Row { int answer; bool silent; const wchar_t* line; };
    const Row rows[] = {{kAnswerNoAction, false, nullptr}, {kAnswerNoAction, true, nullptr},
                        {kAnswerOk, true, L"ignore line"}, {3, true, nullptr},
                        {kAnswerRetry, true, L"retry line"}, {5, true, nullptr}, {6, true, nullptr}};
    for (const Row& row : rows) {
        ScriptedSteps steps({kTwoApps}, {row.answer});
        steps.silent = row.silent;
        EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 1602u) << row.answer;
        Transcript expected;
        for (int i = 1; i <= kMaxTry; ++i) {
            expected.insert(expected.end(), {L"records = 4", L"found line", L"[prompt 2]"});
            if (row.line) expected.push_back(row.line);
            if (i < kMaxTry) expected.push_back(L"[pause 1000]");
        }
        expected.insert(expected.end(), {L"Number of tries reached to MAX_TRY=10",
                                         L"Terminate the install since MAX_TRY is reached at a silent install."});
        EXPECT_EQ(steps.transcript, expected) << row.answer << " silent " << row.silent;
    }
}

TEST(FilesInUseCycle, SilentInstallEndsWellWhenTheApplicationsClose) {
    ScriptedSteps steps({kTwoApps, kTwoApps, kNone}, {kAnswerNoAction});
    EXPECT_EQ(RunFilesInUseCycle(kTexts, steps), 0u);
    EXPECT_EQ(steps.prompts, 2);
}

TEST(AnswerRules, WithAUserInterfaceAnyOtherAnswerResetsTheRunOfZeros) {
    for (int breaker : {kAnswerRetry, kAnswerOk, 3}) {
        AnswerRules rules(kTexts, false);
        for (int i = 0; i < kMaxTry - 1; ++i) EXPECT_EQ(rules.After(0).next, NextStep::PauseThenDetectAgain);
        EXPECT_EQ(rules.After(breaker).next, NextStep::DetectAgain) << breaker;
        for (int i = 0; i < kMaxTry - 1; ++i) EXPECT_EQ(rules.After(0).next, NextStep::PauseThenDetectAgain) << breaker;
        AnswerOutcome last = rules.After(0);
        EXPECT_EQ(last.next, NextStep::Stop);
        EXPECT_EQ(last.result, 1602u);
        EXPECT_FALSE(last.showPromptFailedBox);
    }
}
