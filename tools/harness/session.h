// A real installer session for one test: a database made on the fly, opened
// with MsiOpenPackage, with every message the library sends recorded and the
// user's answers scripted.
//
// Shared by the Wine tests and kci-run, the packagers' tool.
//
//   auto session = harness::Package().Property(L"ProductLanguage", L"1031").Open();
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
#include <memory>
#include <set>
#include <string>
#include <vector>

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

    std::wstring Text(size_t field) const { return field < fields.size() ? fields[field].text : std::wstring(); }
    size_t FieldCount() const { return fields.empty() ? 0 : fields.size() - 1; }  // fields besides field 0
};

class Session;

// Declares the database a test needs. Property, Directory, Feature, Component
// and FeatureComponents tables always exist; the rows are the test's.
class Package {
public:
    Package();
    Package& Property(const std::wstring& name, const std::wstring& value);
    // A directory row; `parent` empty for a root (TARGETDIR's DefaultDir "SourceDir").
    Package& Directory(const std::wstring& id, const std::wstring& parent, const std::wstring& defaultDir);
    // A feature with one component of its own, so its state can be set after costing.
    Package& Feature(const std::wstring& name, int level = 1);
    std::unique_ptr<Session> Open() const;
    // The database file, with an execution sequence when it is to be installed.
    std::wstring Write(bool installable) const;

private:
    struct Row { std::wstring table; std::vector<std::wstring> values; };
    std::vector<Row> rows_;
    int components_ = 0;
};

// The package installed for real (product, features and components
// registered, no files), so that sessions opened afterwards on a package with
// the same product code see installed states; removed again when it goes.
class InstalledPackage {
public:
    explicit InstalledPackage(const Package& package);
    ~InstalledPackage();
    InstalledPackage(const InstalledPackage&) = delete;
    InstalledPackage& operator=(const InstalledPackage&) = delete;
    UINT Result() const { return result_; }

private:
    std::wstring path_;
    UINT result_ = ERROR_INSTALL_FAILURE;
};

class Session {
public:
    // Opens the package at `databasePath` (deleted again with the session).
    explicit Session(std::wstring databasePath);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    MSIHANDLE Handle() const { return handle_; }

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

    // The library's log lines, prefix removed, in order.
    Lines Log() const;
    // Every INFO line as the installer received it (template text).
    Lines RawLog() const;
    std::vector<Message> Messages(UINT kind) const;
    std::vector<Message> Messages() const { return messages_; }
    void ClearRecords() { messages_.clear(); }

    std::wstring Property(const std::wstring& name) const;
    void SetProperty(const std::wstring& name, const std::wstring& value);
    bool RebootAtEnd() const;
    UINT DoAction(const std::wstring& action);
    // CostInitialize, FileCost, CostFinalize: target paths and feature states
    // can be read and set afterwards.
    void Cost();
    void SetFeatureLocal(const std::wstring& feature, bool local);

    int Handle(UINT type, MSIHANDLE record);  // the record handler's work

private:
    void Forget();

    MSIHANDLE handle_ = 0;
    std::wstring databasePath_;
    std::vector<Message> messages_;
    std::map<UINT, std::deque<int>> answers_;
    std::map<UINT, int> lastAnswer_;
    std::map<UINT, std::function<void(const Message&)>> hooks_;
    std::vector<UINT> inTurnKinds_;
    std::deque<int> inTurn_;
};

// The plain names `module` exports, leaving out the decorated "_Name@4" ones.
std::set<std::string> ExportedActions(HMODULE module);
// The DLLs `module` imports, as its import table names them.
std::vector<std::string> ImportedDlls(HMODULE module);

// Calls an exported action by name: of `library`, or of the built library.
UINT CallAction(HMODULE library, const char* name, MSIHANDLE handle);
UINT CallAction(const char* name, const Session& session);
UINT CallAction(const char* name, MSIHANDLE handle);

// The built library, loaded once for the whole run.
HMODULE Library();
// Folder of the test runner, where the build puts the library and helper programs.
std::wstring BuildFolder();

}  // namespace harness
