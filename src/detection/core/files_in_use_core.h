// The files-in-use cycle that every detection action runs: detect, show the
// running applications in the installer's files-in-use prompt, act on the
// answer, and look again until nothing runs, the user cancels or the prompt
// cannot be shown.
//
// Platform-free: the installer, the process list and the clock reach the
// cycle through FilesInUseSteps, so its rules are tested on any host.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/core/named_fields.h"
#include "runtime/core/property_read.h"

namespace kci {

inline constexpr unsigned kResultSuccess = 0;      // ERROR_SUCCESS
inline constexpr unsigned kResultUserExit = 1602;  // ERROR_INSTALL_USEREXIT

// Answers the installer gives to a files-in-use message.
inline constexpr int kAnswerOk = 1;        // IDOK: the user chose Ignore
inline constexpr int kAnswerCancel = 2;    // IDCANCEL
inline constexpr int kAnswerRetry = 4;     // IDRETRY
inline constexpr int kAnswerFailed = -1;   // the installer could not show the prompt
inline constexpr int kAnswerNoAction = 0;  // nothing shown: an installation without UI

// Answers of 0 in a row, or in an installation without user interface any
// answers, after which the installation is stopped: no one closes the
// applications, and looking again for ever hangs the install.
inline constexpr int kMaxTry = 10;
// Pause after such an answer before looking again, in milliseconds.
inline constexpr unsigned kNoActionPauseMs = 1000;

inline constexpr int kUiLevelNone = 2;  // INSTALLUILEVEL_NONE: the "UILevel" of a silent install

// True when a read of "UILevel" gave kUiLevelNone; a failed read is not.
bool NoUserInterface(const PropertyRead& uiLevel);

// One running application as the prompt shows it.
struct FilesInUseEntry {
    std::wstring imageName;    // the executable's file name
    std::wstring displayName;  // what the user knows it as
};
using FilesInUseList = std::vector<FilesInUseEntry>;

// How the action's count line counts what it found.
enum class CountOf {
    Fields,        // the prompt record's fields: two per application
    Applications,  // the applications themselves
};

// One action's log texts and its one behavioural difference, built by named
// field. A text left null means the action writes no such line.
struct PromptTexts {
    const wchar_t* countLine = nullptr;  // after each detection; one %d
    CountOf countOf = CountOf::Fields;
    const wchar_t* foundLine = nullptr;    // before the prompt
    const wchar_t* successLine = nullptr;  // nothing (left) to close
    const wchar_t* cancelLine = nullptr;
    const wchar_t* ignoreLine = nullptr;  // answer IDOK
    const wchar_t* retryLine = nullptr;   // answer IDRETRY
    const wchar_t* errorLine = nullptr;   // answer -1
    bool messageBoxOnError = false;       // also tell the user in a message box when the prompt fails

    constexpr PromptTexts Count(const wchar_t* line, CountOf what) const {
        return WithField(WithField(*this, &PromptTexts::countLine, line), &PromptTexts::countOf, what);
    }
    constexpr PromptTexts Found(const wchar_t* line) const { return WithField(*this, &PromptTexts::foundLine, line); }
    constexpr PromptTexts Success(const wchar_t* line) const {
        return WithField(*this, &PromptTexts::successLine, line);
    }
    constexpr PromptTexts Cancel(const wchar_t* line) const { return WithField(*this, &PromptTexts::cancelLine, line); }
    constexpr PromptTexts Ignore(const wchar_t* line) const { return WithField(*this, &PromptTexts::ignoreLine, line); }
    constexpr PromptTexts Retry(const wchar_t* line) const { return WithField(*this, &PromptTexts::retryLine, line); }
    constexpr PromptTexts Error(const wchar_t* line) const { return WithField(*this, &PromptTexts::errorLine, line); }
    constexpr PromptTexts ErrorBox() const { return WithField(*this, &PromptTexts::messageBoxOnError, true); }

};

// What the cycle does after one answer.
enum class NextStep { DetectAgain, PauseThenDetectAgain, Stop };

struct AnswerOutcome {
    std::vector<std::wstring> lines;  // log lines, in order
    bool showPromptFailedBox = false;
    NextStep next = NextStep::DetectAgain;
    unsigned result = kResultSuccess;  // the action's result when next is Stop
};

// Decides what each answer leads to, counting the answers that look again
// toward kMaxTry: in a silent installation every one of them, whatever a
// front end answered; otherwise answers of 0 in a row. One instance per
// action call.
class AnswerRules {
public:
    AnswerRules(const PromptTexts& texts, bool silent) : texts_(texts), silent_(silent) {}
    AnswerOutcome After(int answer);

private:
    const PromptTexts& texts_;
    bool silent_;
    int counted_ = 0;
};

// The platform side of the cycle.
class FilesInUseSteps {
public:
    virtual ~FilesInUseSteps() = default;
    // The applications running now. Nothing (no list at all) means there was
    // nothing to look at, which ends the action as a success.
    virtual std::optional<FilesInUseList> Detect() = 0;
    // Shows the prompt for a non-empty list and returns the installer's answer.
    virtual int Prompt(const FilesInUseList& running) = 0;
    virtual void Log(const std::wstring& line) = 0;
    virtual void ShowPromptFailedBox() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // Asked once, before the first prompt: true when no one sees the prompt
    // (an installation without user interface), so every answer counts.
    virtual bool Silent() { return false; }
    // Asked at the start of every try, before its detection; a result ends
    // the cycle with it. Only an action with a try limit of its own has one.
    virtual std::optional<unsigned> BeforeTry() { return std::nullopt; }
};

// Runs the cycle to its end and returns the action's result: 0 when nothing
// (is left) running, 1602 after Cancel, a failed prompt, or kMaxTry counted
// answers (AnswerRules).
unsigned RunFilesInUseCycle(const PromptTexts& texts, FilesInUseSteps& steps);

}  // namespace kci
