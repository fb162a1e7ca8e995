#include "detection/core/files_in_use_core.h"

#include "runtime/core/decimal.h"
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

bool NoUserInterface(const PropertyRead& uiLevel) {
    const Decimal level = ReadDecimal(uiLevel.value);
    return uiLevel.result == 0 && level.read && level.value == kUiLevelNone;
}

AnswerOutcome AnswerRules::After(int answer) {
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
        break;
    case kAnswerRetry:
        AddLine(outcome.lines, texts_.retryLine);
        break;
    default:  // 0 or any other button: look again without a word
        break;
    }

    // The answer looks again. Where no one can close the applications it counts.
    if (!silent_ && answer != kAnswerNoAction) {
        counted_ = 0;
        return outcome;
    }
    if (++counted_ >= kMaxTry) {
        outcome.lines.push_back(Format(L"Number of tries reached to MAX_TRY=%d", kMaxTry));
        outcome.lines.emplace_back(L"Terminate the install since MAX_TRY is reached at a silent install.");
        return Stop(std::move(outcome.lines), kResultUserExit);
    }
    outcome.next = NextStep::PauseThenDetectAgain;
    return outcome;
}

unsigned RunFilesInUseCycle(const PromptTexts& texts, FilesInUseSteps& steps) {
    std::optional<AnswerRules> rules;  // made at the first prompt, which needs the UI level
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

        if (!rules) rules.emplace(texts, steps.Silent());
        AnswerOutcome outcome = rules->After(steps.Prompt(*running));
        for (const auto& line : outcome.lines) steps.Log(line);
        if (outcome.showPromptFailedBox) steps.ShowPromptFailedBox();
        if (outcome.next == NextStep::Stop) return outcome.result;
        if (outcome.next == NextStep::PauseThenDetectAgain) steps.Pause(kNoActionPauseMs);
    }
}

}  // namespace kci
