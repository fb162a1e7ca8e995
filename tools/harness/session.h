// A real installer session for one test, opened with MsiOpenPackage, with
// every message the library sends recorded and the user's answers scripted.
//
// Shared by the Wine tests and kci-run, the packagers' tool.
//
//   auto session = harness::Package().Open();
//   session->Answer(INSTALLMESSAGE_FILESINUSE, {IDRETRY, IDCANCEL});
//   EXPECT_EQ(harness::CallAction("CheckRunningApps", *session), 1602u);
//   EXPECT_EQ(session->Log(), (harness::Lines{L"Entering CheckRunningApps", ...}));
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/handles.h"

namespace harness {

using Lines = std::vector<std::wstring>;

struct Field {
    bool isNull = true;
    bool isInteger = false;
    int integer = 0;
    std::wstring text;
};

struct Message {
    UINT type = 0;           // full type, flags included (0x05000005)
    UINT kind() const { return type & 0xFF000000u; }
    std::vector<Field> fields;  // fields[0] is the template
    int answer = 0;             // what the test answered
    std::wstring logged;        // INFO only: the text the installer's log shows (the record formatted)

    std::wstring Text(size_t field) const { return field < fields.size() ? fields[field].text : std::wstring(); }
    size_t FieldCount() const { return fields.empty() ? 0 : fields.size() - 1; }  // fields besides field 0
};

class Session {
public:
    // Opens the package at `databasePath` (deleted again with the session);
    // the session starts with no records.
    explicit Session(std::wstring databasePath);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    MSIHANDLE Handle() const { return handle_.Get(); }

    // Answers for messages of one kind (type & 0xFF000000), used in order;
    // when they run out the last one repeats. Unscripted kinds answer 0.
    Session& Answer(UINT kind, std::vector<int> answers);
    // One list of answers for the messages of all `kinds` together, used in
    // the order the messages come; when it runs out they answer 0, as a
    // silent installation does.
    Session& AnswerInTurn(std::vector<UINT> kinds, std::vector<int> answers);
    // Called for each message of `kind` before it is answered, for example to
    // end a process before the scripted Retry.
    Session& OnMessage(UINT kind, std::function<void(const Message&)> hook);

    // The library's log lines as the installer's log shows them, prefix
    // removed, in order.
    Lines Log() const;
    // Every INFO line as the installer received it (template text, before
    // the installer formats it).
    Lines RawLog() const;
    std::vector<Message> Messages(UINT kind) const;
    std::vector<Message> Messages() const { return messages_; }
    void ClearRecords() { messages_.clear(); }

    std::wstring Property(const std::wstring& name) const;
    void SetProperty(const std::wstring& name, const std::wstring& value);
    bool RebootAtEnd() const;
    UINT DoAction(const std::wstring& action);
    // CostInitialize, FileCost, CostFinalize: target paths and feature states
    // can be read and set afterwards. Their messages are not kept.
    void Cost();
    void SetFeatureLocal(const std::wstring& feature, bool local);
    // After Cost(): the directory's target path; throws when the installer refuses it.
    void SetTargetPath(const std::wstring& directory, const std::wstring& path) const;

    int Handle(UINT type, MSIHANDLE record);  // the record handler's work

private:
    void Forget();

    kci::MsiHandleGuard handle_;
    std::wstring databasePath_;
    std::vector<Message> messages_;
    std::map<UINT, std::deque<int>> answers_;
    std::map<UINT, int> lastAnswer_;
    std::map<UINT, std::function<void(const Message&)>> hooks_;
    std::vector<UINT> inTurnKinds_;
    std::deque<int> inTurn_;
};

}  // namespace harness
