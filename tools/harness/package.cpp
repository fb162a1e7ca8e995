#include "harness/package.h"

#include <objbase.h>
#include <msiquery.h>

#include <stdexcept>

#include "harness/text.h"
#include "runtime/handles.h"

namespace harness {
namespace {

void Execute(MSIHANDLE db, const std::wstring& sql) {
    kci::MsiHandleGuard view;
    if (MsiDatabaseOpenViewW(db, sql.c_str(), view.Receive()) != ERROR_SUCCESS)
        throw std::runtime_error("bad SQL: " + Narrow(sql));
    UINT r = MsiViewExecute(view.Get(), 0);
    MsiViewClose(view.Get());
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

std::unique_ptr<Session> Package::Open() const { return std::make_unique<Session>(Write(false)); }

std::wstring Package::Write(bool installable) const {
    std::wstring path = UniqueTempPath(L"kci", L".msi");
    kci::MsiHandleGuard db;
    Check(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, db.Receive()), "MsiOpenDatabase");
    for (const wchar_t* create : kSchema) Execute(db.Get(), create);
    if (installable) {
        // The least an installation needs to register the product, its
        // features and components, with no files.
        Execute(db.Get(), L"CREATE TABLE `InstallExecuteSequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), "
                          L"`Sequence` SHORT PRIMARY KEY `Action`)");
        int sequence = 0;
        for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize", L"InstallValidate",
                                      L"InstallInitialize", L"ProcessComponents", L"RegisterProduct",
                                      L"PublishFeatures", L"PublishProduct", L"InstallFinalize"})
            Execute(db.Get(), L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES (" +
                                  Quote(action) + L", " + std::to_wstring(sequence += 100) + L")");
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
        Execute(db.Get(), sql + L")");
    }

    kci::MsiHandleGuard summary;
    Check(MsiGetSummaryInformationW(db.Get(), nullptr, 20, summary.Receive()), "MsiGetSummaryInformation");
    MsiSummaryInfoSetPropertyW(summary.Get(), 7, VT_LPSTR, 0, nullptr, L"Intel;1033");
    MsiSummaryInfoSetPropertyW(summary.Get(), 9, VT_LPSTR, 0, nullptr, NewGuid().c_str());
    MsiSummaryInfoSetPropertyW(summary.Get(), 14, VT_I4, 200, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary.Get(), 15, VT_I4, 2, nullptr, nullptr);
    MsiSummaryInfoPersist(summary.Get());
    summary.Close();
    Check(MsiDatabaseCommit(db.Get()), "MsiDatabaseCommit");
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

}  // namespace harness
