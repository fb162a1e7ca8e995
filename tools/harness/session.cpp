#include "harness/session.h"

#include <objbase.h>

#include <algorithm>
#include <set>

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

void Check(UINT result, const char* what) {
    if (result != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

void Execute(MSIHANDLE db, const std::wstring& sql) {
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(db, sql.c_str(), &view) != ERROR_SUCCESS)
        throw std::runtime_error("bad SQL: " + Narrow(sql));
    UINT r = MsiViewExecute(view, 0);
    MsiViewClose(view);
    MsiCloseHandle(view);
    Check(r, "MsiViewExecute");
}

std::wstring Quote(const std::wstring& v) {
    std::wstring out = L"'";
    for (wchar_t c : v) {
        if (c == L'\'') out += L"''";
        else out += c;
    }
    return out + L"'";
}

const wchar_t* const kSchema[] = {
    L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL PRIMARY KEY `Property`)",
    L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), `DefaultDir` CHAR(255) NOT NULL PRIMARY KEY `Directory`)",
    L"CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Feature_Parent` CHAR(38), `Title` CHAR(64), `Description` CHAR(255), `Display` SHORT, `Level` SHORT NOT NULL, `Directory_` CHAR(72), `Attributes` SHORT NOT NULL PRIMARY KEY `Feature`)",
    L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` CHAR(72) NOT NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY `Component`)",
    L"CREATE TABLE `FeatureComponents` (`Feature_` CHAR(38) NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Feature_`, `Component_`)",
};

std::wstring Columns(const std::wstring& table) {
    if (table == L"Property") return L"`Property`, `Value`";
    if (table == L"Directory") return L"`Directory`, `Directory_Parent`, `DefaultDir`";
    if (table == L"Feature")
        return L"`Feature`, `Feature_Parent`, `Title`, `Description`, `Display`, `Level`, `Directory_`, `Attributes`";
    if (table == L"Component") return L"`Component`, `ComponentId`, `Directory_`, `Attributes`, `Condition`, `KeyPath`";
    return L"`Feature_`, `Component_`";
}

std::wstring NewGuid() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace

Package::Package() {
    Property(L"ProductCode", NewGuid());
    Property(L"ProductName", L"KorviCustomImmediate test");
    Property(L"ProductVersion", L"1.0.0");
    Property(L"Manufacturer", L"Tenvor Systems, Inc.");
    Directory(L"TARGETDIR", L"", L"SourceDir");
}

Package& Package::Property(const std::wstring& name, const std::wstring& value) {
    for (auto row = rows_.begin(); row != rows_.end(); ++row) {
        if (row->table == L"Property" && row->values[0] == name) {
            rows_.erase(row);
            break;
        }
    }
    // The Property table holds no empty values: an empty property is an absent row.
    if (!value.empty()) rows_.push_back({L"Property", {name, value}});
    return *this;
}

Package& Package::Directory(const std::wstring& id, const std::wstring& parent, const std::wstring& defaultDir) {
    rows_.push_back({L"Directory", {id, parent, defaultDir}});
    return *this;
}

Package& Package::Feature(const std::wstring& name, int level) {
    std::wstring component = L"C" + std::to_wstring(++components_);
    rows_.push_back({L"Feature", {name, L"", name, L"", L"1", std::to_wstring(level), L"", L"0"}});
    rows_.push_back({L"Component", {component, NewGuid(), L"TARGETDIR", L"0", L"", L""}});
    rows_.push_back({L"FeatureComponents", {name, component}});
    return *this;
}

std::unique_ptr<Session> Package::Open() const {
    std::wstring path = Write(false);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiSetExternalUIRecord(RecordHandler, 0xFFFFFFFF, nullptr, nullptr);
    return std::make_unique<Session>(path);
}

std::wstring Package::Write(bool installable) const {
    std::wstring path = UniqueTempPath(L"kci", L".msi");
    MSIHANDLE db = 0;
    Check(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &db), "MsiOpenDatabase");
    for (const wchar_t* create : kSchema) Execute(db, create);
    if (installable) {
        // The least an installation needs to register the product, its
        // features and components, with no files.
        Execute(db, L"CREATE TABLE `InstallExecuteSequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), "
                    L"`Sequence` SHORT PRIMARY KEY `Action`)");
        int sequence = 0;
        for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize", L"InstallValidate",
                                      L"InstallInitialize", L"ProcessComponents", L"RegisterProduct",
                                      L"PublishFeatures", L"PublishProduct", L"InstallFinalize"})
            Execute(db, L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES (" + Quote(action) +
                            L", " + std::to_wstring(sequence += 100) + L")");
    }
    for (const auto& row : rows_) {
        std::wstring sql = L"INSERT INTO `" + row.table + L"` (" + Columns(row.table) + L") VALUES (";
        for (size_t i = 0; i < row.values.size(); ++i) {
            if (i) sql += L", ";
            bool isNumber = row.table == L"Feature" && (i == 4 || i == 5 || i == 7);
            isNumber = isNumber || (row.table == L"Component" && i == 3);
            if (isNumber) sql += row.values[i];
            else if (row.values[i].empty()) sql += L"NULL";
            else sql += Quote(row.values[i]);
        }
        Execute(db, sql + L")");
    }

    MSIHANDLE summary = 0;
    Check(MsiGetSummaryInformationW(db, nullptr, 20, &summary), "MsiGetSummaryInformation");
    MsiSummaryInfoSetPropertyW(summary, 7, VT_LPSTR, 0, nullptr, L"Intel;1033");
    MsiSummaryInfoSetPropertyW(summary, 9, VT_LPSTR, 0, nullptr, NewGuid().c_str());
    MsiSummaryInfoSetPropertyW(summary, 14, VT_I4, 200, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary, 15, VT_I4, 2, nullptr, nullptr);
    MsiSummaryInfoPersist(summary);
    MsiCloseHandle(summary);
    Check(MsiDatabaseCommit(db), "MsiDatabaseCommit");
    MsiCloseHandle(db);
    return path;
}

InstalledPackage::InstalledPackage(const Package& package) : path_(package.Write(true)) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    result_ = MsiInstallProductW(path_.c_str(), L"");
}

InstalledPackage::~InstalledPackage() {
    if (result_ == ERROR_SUCCESS) MsiInstallProductW(path_.c_str(), L"REMOVE=ALL");
    DeleteFileW(path_.c_str());
}

// The session records from before its package is opened until after its
// handle is closed, so that the installer's own opening and closing messages
// land in the session they belong to.
Session::Session(std::wstring databasePath) : databasePath_(std::move(databasePath)) {
    g_sessions.push_back(this);
    UINT result = MsiOpenPackageW(databasePath_.c_str(), &handle_);
    if (result != ERROR_SUCCESS) {
        Forget();
        throw std::runtime_error("MsiOpenPackage failed: " + std::to_string(result));
    }
}

Session::~Session() {
    MsiCloseHandle(handle_);
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
    for (const auto& line : RawLog())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
    return lines;
}

std::vector<Message> Session::Messages(UINT kind) const {
    std::vector<Message> found;
    for (const auto& m : messages_)
        if (m.kind() == kind) found.push_back(m);
    return found;
}

std::wstring Session::Property(const std::wstring& name) const {
    return WholeString([&](wchar_t* text, DWORD* count) { MsiGetPropertyW(handle_, name.c_str(), text, count); });
}

void Session::SetProperty(const std::wstring& name, const std::wstring& value) {
    Check(MsiSetPropertyW(handle_, name.c_str(), value.c_str()), "MsiSetProperty");
}

bool Session::RebootAtEnd() const { return MsiGetMode(handle_, MSIRUNMODE_REBOOTATEND) != FALSE; }

UINT Session::DoAction(const std::wstring& action) { return MsiDoActionW(handle_, action.c_str()); }

void Session::Cost() {
    for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize"})
        Check(DoAction(action), "costing");
}

void Session::SetFeatureLocal(const std::wstring& feature, bool local) {
    Check(MsiSetFeatureStateW(handle_, feature.c_str(), local ? INSTALLSTATE_LOCAL : INSTALLSTATE_ABSENT),
          "MsiSetFeatureState");
}

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

HMODULE Library() {
    static HMODULE library = [] {
        HMODULE module = LoadLibraryW((BuildFolder() + L"\\KorviCustomImmediate.dll").c_str());
        if (module == nullptr) throw std::runtime_error("cannot load KorviCustomImmediate.dll");
        return module;
    }();
    return library;
}

// The plain names a DLL exports, leaving out the decorated "_Name@4" spellings.
std::set<std::string> ExportedActions(HMODULE module) {
    std::set<std::string> names;
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        std::string name = reinterpret_cast<const char*>(base + nameRvas[i]);
        if (name.find('@') == std::string::npos) names.insert(name);
    }
    return names;
}

std::vector<std::string> ImportedDlls(HMODULE module) {
    std::vector<std::string> names;
    auto base = reinterpret_cast<const BYTE*>(module);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return names;
    for (auto imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp)
        names.push_back(reinterpret_cast<const char*>(base + imp->Name));
    return names;
}

UINT CallAction(HMODULE library, const char* name, MSIHANDLE handle) {
    using Action = UINT(__stdcall*)(MSIHANDLE);
    auto action = reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (action == nullptr) throw std::runtime_error(std::string("no export ") + name);
    return action(handle);
}

UINT CallAction(const char* name, MSIHANDLE handle) { return CallAction(Library(), name, handle); }

UINT CallAction(const char* name, const Session& session) { return CallAction(name, session.Handle()); }

}  // namespace harness
