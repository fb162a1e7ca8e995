#include "detection/files_in_use.h"

#include <msiquery.h>

#include "detection/process_lookup.h"
#include "runtime/handles.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {
namespace {

constexpr UINT kFilesInUseRetryCancel = INSTALLMESSAGE_FILESINUSE | MB_RETRYCANCEL;

// The cycle's platform side: the installer's prompt and log, a message box
// for the user when the installer cannot prompt, and the wall clock.
class InstallerSteps : public FilesInUseSteps {
public:
    InstallerSteps(MSIHANDLE session, const Detection& detect, const TryCheck& beforeTry)
        : session_(session), detect_(detect), beforeTry_(beforeTry) {}

    std::optional<FilesInUseList> Detect() override { return detect_(); }
    int Prompt(const FilesInUseList& running) override { return PromptFilesInUse(session_, running); }
    void Log(const std::wstring& line) override { LogMessage(session_, L"%s", line); }
    void Pause(unsigned milliseconds) override { Sleep(milliseconds); }
    std::optional<unsigned> BeforeTry() override { return beforeTry_ ? beforeTry_() : std::nullopt; }
    // Read once, without a line. An action with a try limit of its own (the
    // click-to-call check) keeps that limit and the answers' old rules.
    bool Silent() override {
        return !beforeTry_ && NoUserInterface(ReadProperty(session_, L"UILevel", kProductPropertyChars));
    }

    void ShowPromptFailedBox() override {
        // Both texts share the catalogue's buffer: copy each before the next lookup.
        const std::wstring text = CatalogueText(session_, kTextPromptFailed);
        const std::wstring caption = CatalogueText(session_, kTextErrorCaption);
        MessageBoxW(GetFocus(), text.c_str(), caption.c_str(), MB_OK);
    }

private:
    MSIHANDLE session_;
    const Detection& detect_;
    const TryCheck& beforeTry_;
};

}  // namespace

int PromptFilesInUse(MSIHANDLE session, const FilesInUseList& running) {
    const UINT pairs = static_cast<UINT>(running.size());
    MsiHandleGuard record(MsiCreateRecord(2 * pairs));
    MsiRecordSetStringW(record.Get(), 0, CatalogueText(session, kTextFilesInUseHeading).c_str());
    for (UINT i = 0; i < pairs; ++i) {
        MsiRecordSetStringW(record.Get(), 2 * i + 1, running[i].imageName.c_str());
        MsiRecordSetStringW(record.Get(), 2 * i + 2, running[i].displayName.c_str());
    }
    const int answer = MsiProcessMessage(session, static_cast<INSTALLMESSAGE>(kFilesInUseRetryCancel), record.Get());
    LogMessage(session, L"Result = %d", answer);
    return answer;
}

UINT CheckFilesInUse(MSIHANDLE session, const PromptTexts& texts, const Detection& detect,
                     const TryCheck& beforeTry) {
    InstallerSteps steps(session, detect, beforeTry);
    return RunFilesInUseCycle(texts, steps);
}

FilesInUseList RunningApplications(MSIHANDLE session, const KnownApplications& applications) {
    FilesInUseList running;
    for (const Application* application : applications)
        if (IsRunning(session, *application))
            running.push_back({application->RecordName(), CatalogueText(session, application->displayName)});
    return running;
}

}  // namespace kci
