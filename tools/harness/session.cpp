#include "harness/session.h"

#include <algorithm>
#include <stdexcept>

#include "harness/text.h"

namespace harness {
namespace {

// The external UI handler is one per process and is not told which session a
// message belongs to: the most recently opened live session records them, so
// a test that keeps two sessions open talks to the inner one only.
std::vector<Session*> g_sessions;

int WINAPI RecordHandler(void*, UINT type, MSIHANDLE record) {
    return g_sessions.empty() ? 0 : g_sessions.back()->Handle(type, record);
}

// A whole string from one of the installer's two-call getters: the first
// call with no room learns the length, the second fills the text.
template <class Get>
std::wstring WholeString(Get get) {
    DWORD count = 0;
    wchar_t probe[1] = {};
    get(probe, &count);
    std::wstring text(count + 1, L'\0');
    count += 1;
    get(&text[0], &count);
    text.resize(count);
    return text;
}

std::wstring RecordString(MSIHANDLE record, UINT field) {
    return WholeString([&](wchar_t* text, DWORD* count) { MsiRecordGetStringW(record, field, text, count); });
}

}  // namespace

// The session records from before its package is opened until after its
// handle is closed, so that the installer's own opening and closing messages
// land in the session they belong to.
Session::Session(std::wstring databasePath) : databasePath_(std::move(databasePath)) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiSetExternalUIRecord(RecordHandler, 0xFFFFFFFF, nullptr, nullptr);
    g_sessions.push_back(this);
    UINT result = MsiOpenPackageW(databasePath_.c_str(), handle_.Receive());
    if (result != ERROR_SUCCESS) {
        Forget();
        throw std::runtime_error("MsiOpenPackage failed: " + std::to_string(result));
    }
    messages_.clear();  // the opening's own messages are no test's business
}

Session::~Session() {
    handle_.Close();
    Forget();
}

void Session::Forget() {
    g_sessions.erase(std::remove(g_sessions.begin(), g_sessions.end(), this), g_sessions.end());
    DeleteFileW(databasePath_.c_str());
}

Session& Session::Answer(UINT kind, std::vector<int> answers) {
    answers_[kind] = std::deque<int>(answers.begin(), answers.end());
    return *this;
}

Session& Session::AnswerInTurn(std::vector<UINT> kinds, std::vector<int> answers) {
    inTurnKinds_ = std::move(kinds);
    inTurn_ = std::deque<int>(answers.begin(), answers.end());
    return *this;
}

Session& Session::OnMessage(UINT kind, std::function<void(const Message&)> hook) {
    hooks_[kind] = std::move(hook);
    return *this;
}

int Session::Handle(UINT type, MSIHANDLE record) {
    Message message;
    message.type = type;
    if (record != 0) {
        // INITIALIZE and TERMINATE pass a value that is not a record handle.
        UINT count = MsiRecordGetFieldCount(record);
        if (count == static_cast<UINT>(-1)) count = 0;
        for (UINT i = 0; i <= count; ++i) {
            Field field;
            field.isNull = MsiRecordIsNull(record, i) != FALSE;
            field.text = RecordString(record, i);
            int integer = MsiRecordGetInteger(record, i);
            field.isInteger = !field.isNull && integer != static_cast<int>(MSI_NULL_INTEGER);
            field.integer = integer;
            message.fields.push_back(field);
        }
        // The installer formats an INFO record in its session before it
        // writes it to its log; the same formatting shows what the log got.
        if (message.kind() == INSTALLMESSAGE_INFO)
            message.logged = WholeString(
                [&](wchar_t* text, DWORD* count) { MsiFormatRecordW(handle_.Get(), record, text, count); });
    }
    UINT kind = message.kind();
    if (auto hook = hooks_.find(kind); hook != hooks_.end()) hook->second(message);
    int answer = 0;
    if (std::find(inTurnKinds_.begin(), inTurnKinds_.end(), kind) != inTurnKinds_.end()) {
        if (!inTurn_.empty()) {
            answer = inTurn_.front();
            inTurn_.pop_front();
        }
    } else if (auto script = answers_.find(kind); script != answers_.end()) {
        if (!script->second.empty()) {
            lastAnswer_[kind] = script->second.front();
            script->second.pop_front();
        }
        answer = lastAnswer_[kind];
    }
    message.answer = answer;
    messages_.push_back(std::move(message));
    return answer;
}

Lines Session::RawLog() const {
    Lines lines;
    for (const auto& m : messages_)
        if (m.kind() == INSTALLMESSAGE_INFO) lines.push_back(m.Text(0));
    return lines;
}

Lines Session::Log() const {
    static const std::wstring prefix = L"CUSTOM IMMEDIATE ACTION   ";
    Lines lines;
    for (const auto& m : messages_)
        if (m.kind() == INSTALLMESSAGE_INFO && m.logged.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(m.logged.substr(prefix.size()));
    return lines;
}

std::vector<Message> Session::Messages(UINT kind) const {
    std::vector<Message> found;
    for (const auto& m : messages_)
        if (m.kind() == kind) found.push_back(m);
    return found;
}

std::wstring Session::Property(const std::wstring& name) const {
    return WholeString([&](wchar_t* text, DWORD* count) { MsiGetPropertyW(handle_.Get(), name.c_str(), text, count); });
}

void Session::SetProperty(const std::wstring& name, const std::wstring& value) {
    Check(MsiSetPropertyW(handle_.Get(), name.c_str(), value.c_str()), "MsiSetProperty");
}

bool Session::RebootAtEnd() const { return MsiGetMode(handle_.Get(), MSIRUNMODE_REBOOTATEND) != FALSE; }

UINT Session::DoAction(const std::wstring& action) { return MsiDoActionW(handle_.Get(), action.c_str()); }

void Session::Cost() {
    for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize"})
        Check(DoAction(action), "costing");
    messages_.clear();
}

void Session::SetFeatureLocal(const std::wstring& feature, bool local) {
    Check(MsiSetFeatureStateW(handle_.Get(), feature.c_str(), local ? INSTALLSTATE_LOCAL : INSTALLSTATE_ABSENT),
          "MsiSetFeatureState");
}

void Session::SetTargetPath(const std::wstring& directory, const std::wstring& path) const {
    const UINT result = MsiSetTargetPathW(handle_.Get(), directory.c_str(), path.c_str());
    if (result != ERROR_SUCCESS) throw std::runtime_error("MsiSetTargetPath failed: " + std::to_string(result));
}

}  // namespace harness
