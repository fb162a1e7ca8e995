#include "detection/core/files_in_use_core.h"

#include "runtime/core/format.h"

namespace kci {
namespace {

void AddLine(std::vector<std::wstring>& lines, const wchar_t* text) {
    if (text != nullptr) lines.emplace_back(text);
}

AnswerOutcome Stop(std::vector<std::wstring> lines, unsigned result) {
    AnswerOutcome outcome;
    outcome.lines = std::move(lines);
    outcome.next = NextStep::Stop;
    outcome.result = result;
    return outcome;
}

}  // namespace

AnswerOutcome AnswerRules::After(int answer) {
    if (answer == kAnswerNoAction) {
        if (++noActionRun_ >= kMaxTry)
            return Stop({Format(L"Number of tries reached to MAX_TRY=%d", kMaxTry),
                         L"Terminate the install since MAX_TRY is reached at a silent install."},
                        kResultUserExit);
        AnswerOutcome outcome;
        outcome.next = NextStep::PauseThenDetectAgain;
        return outcome;
    }
    noActionRun_ = 0;

    AnswerOutcome outcome;
    switch (answer) {
    case kAnswerCancel: {
        std::vector<std::wstring> lines;
        AddLine(lines, texts_.cancelLine);
        return Stop(std::move(lines), kResultUserExit);
    }
    case kAnswerFailed: {
        std::vector<std::wstring> lines;
        AddLine(lines, texts_.errorLine);
        lines.emplace_back(L"Could not create MSI process to show running applications.");
        outcome = Stop(std::move(lines), kResultUserExit);
        outcome.showPromptFailedBox = texts_.messageBoxOnError;
        return outcome;
    }
    case kAnswerOk:
        AddLine(outcome.lines, texts_.ignoreLine);
        return outcome;
    case kAnswerRetry:
        AddLine(outcome.lines, texts_.retryLine);
        return outcome;
    default:  // any other button: look again without a word
        return outcome;
    }
}

unsigned RunFilesInUseCycle(const PromptTexts& texts, FilesInUseSteps& steps) {
    AnswerRules rules(texts);
    for (;;) {
        if (std::optional<unsigned> end = steps.BeforeTry()) return *end;
        std::optional<FilesInUseList> running = steps.Detect();
        if (!running) {
            if (texts.successLine) steps.Log(texts.successLine);
            return kResultSuccess;
        }
        const auto count = static_cast<int>(running->size());
        if (texts.countLine) steps.Log(Format(texts.countLine, texts.countOf == CountOf::Fields ? 2 * count : count));
        if (running->empty()) {
            steps.Log(L"Found no Applications to be shut down");
            if (texts.successLine) steps.Log(texts.successLine);
            return kResultSuccess;
        }
        if (texts.foundLine) steps.Log(texts.foundLine);

        AnswerOutcome outcome = rules.After(steps.Prompt(*running));
        for (const auto& line : outcome.lines) steps.Log(line);
        if (outcome.showPromptFailedBox) steps.ShowPromptFailedBox();
        if (outcome.next == NextStep::Stop) return outcome.result;
        if (outcome.next == NextStep::PauseThenDetectAgain) steps.Pause(kNoActionPauseMs);
    }
}

}  // namespace kci
