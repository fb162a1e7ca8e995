// The version and settings actions in real sessions.
#include <windows.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bench/action_runs.h"
#include "bench/bench.h"

using bench::Lines;

namespace {

// ForceFullDump and its undo are deferred rows: they run under the script's limits.
UINT Deferred(const char* action, const harness::Session& session) {
    return bench::ActionRun().Named(action).FromScript(harness::RunMode::Deferred).Call(session.Handle());
}

// How many fields were read, as the log gives them; the short form itself is
// the host tests' to cover. A version of 255 characters is read whole; one of
// 256 fails to read, and the action goes on with what the installer left.
TEST(CreateDisplayableVersion, SetsTheShortFormAndLogsTheFieldsRead) {
    struct Case { std::wstring version, scanned, shown; size_t logged = std::wstring::npos; };
    const Case cases[] = {
        {L"1.0.1000", L"3, major=1, minor=0, build=1000", L"1.0(1)"},
        {L"2.1.2003.7", L"3, major=2, minor=1, build=2003", L"2.1(2.3)"},
        {L"7", L"1, major=7, minor=0, build=0", L"7.0(0)"},
        {L"beta", L"0, major=0, minor=0, build=0", L"0.0(0)"},
        {L"1.0.1000" + std::wstring(246, L'x'), L"3, major=1, minor=0, build=1000", L"1.0(1)"},
        {L"1.0.1000" + std::wstring(247, L'x'), L"3, major=1, minor=0, build=1000", L"1.0(1)"},
        {L"1.0.1000" + std::wstring(248, L'x'), L"3, major=1, minor=0, build=1000", L"1.0(1)", 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.version));
        auto session = bench::Package().Property(L"ProductVersion", c.version).Open();
        EXPECT_EQ(bench::CallAction("CreateDisplayableVersion", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering CreateDisplayableVersion",
                                         L"CreateDisplayableVersion: current version = " +
                                             c.version.substr(0, c.logged),
                                         L"sscanf returned result = " + c.scanned,
                                         L"Leaving CreateDisplayableVersion"}));
        EXPECT_EQ(session->Property(L"PDisplayableVersion"), c.shown);
    }
}

// A count other than "0" is returned at once, without the leaving line; one too long to read fails.
TEST(PrecertificationFailureCount, ReturnsTheCountStoredAsText) {
    enum class Stored { Text, Number, NoKey };
    struct Case { Stored stored; std::wstring text; UINT result; Lines lines; };
    const Case cases[] = {
        {Stored::Text, L"2", 2, {L"RegQueryValueEx returned a string: 2"}},
        {Stored::Text, L"0", 0, {L"RegQueryValueEx returned a string: 0", L"Leaving PrecertificationFailureCount"}},
        {Stored::Text, L"x1", 0, {L"RegQueryValueEx returned a string: x1"}},
        {Stored::Text, std::wstring(300, L'1'), 1603, {L"RegQueryValueEx returned 0xea", L"FailureCount cannot be read, returning 1603"}},
        {Stored::Number, L"", 0, {L"Leaving PrecertificationFailureCount"}},
        {Stored::NoKey, L"", 0, {L"RegOpenKey returned 2", L"Leaving PrecertificationFailureCount"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(bench::Narrow(c.text) + " stored as " + std::to_string(static_cast<int>(c.stored)));
        std::optional<bench::RegistryKey> key;
        if (c.stored != Stored::NoKey)
            key.emplace(HKEY_LOCAL_MACHINE, L"Software\\Tenvor Systems, Inc.\\Tenvor Pelago\\Precertification");
        if (c.stored == Stored::Text) key->SetString(L"FailureCount", c.text);
        if (c.stored == Stored::Number) key->SetDword(L"FailureCount", 2);
        auto session = bench::Package().Open();
        EXPECT_EQ(bench::CallAction("PrecertificationFailureCount", *session), c.result);
        Lines expected = c.lines;
        expected.insert(expected.begin(), L"Entering PrecertificationFailureCount");
        EXPECT_EQ(session->Log(), expected);
    }
}

const wchar_t kCrashControl[] = L"SYSTEM\\CurrentControlSet\\Control\\CrashControl";
const wchar_t kRecord[] = L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared\\CrashControl";

bool MachineSetsCrashDumps() {
    return RegGetValueW(HKEY_LOCAL_MACHINE, kCrashControl, L"CrashDumpEnabled", RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

TEST(ForceFullDump, TwoRunsLeaveCompleteDumpsSwitchedOn) {
    const std::wstring path = kCrashControl;
    if (MachineSetsCrashDumps()) GTEST_SKIP() << "the machine sets crash dumps itself, which this test would undo";
    bench::RegistryKey crashControl(HKEY_LOCAL_MACHINE, path);
    crashControl.SetDword(L"CrashDumpEnabled", 2);
    auto session = bench::Package().Open();
    const std::wstring needs = L"Product " + session->Property(L"ProductCode") + L" needs CrashControl";
    // The first run records the setting it replaces; the second keeps that record.
    for (const wchar_t* record : {L"Recorded CrashDumpEnabled before the change: 2", L"Kept the record of an earlier run"}) {
        session->ClearRecords();
        EXPECT_EQ(Deferred("ForceFullDump", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering ForceFullDump", record, L"RegSetValueEx succeeded", needs,
                                         L"Exiting ForceFullDump"}));
        DWORD value = 0, bytes = sizeof(value);
        EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"CrashDumpEnabled", RRF_RT_REG_DWORD, nullptr, &value,
                               &bytes), ERROR_SUCCESS);
        EXPECT_EQ(value, 1u);
    }
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared");
}

// Another product keeps the complete dump only by a REG_SZ value named by its
// code, while the installer knows it: another type or a product never
// installed counts for none, and the setting is restored.
TEST(UndoForceFullDump, OnlyAnInstalledProductsTextValueKeepsTheChange) {
    if (MachineSetsCrashDumps()) GTEST_SKIP() << "the machine sets crash dumps itself, which this test would undo";
    const std::wstring installedCode = L"{9D0C2B3A-5D6E-4F70-8192-A3B4C5D6E7F9}";
    bench::InstalledPackage installed(bench::Package().Property(L"ProductCode", installedCode).Feature(L"Main"));
    ASSERT_EQ(installed.Result(), 0u);
    const struct { std::wstring name; DWORD type; const wchar_t* line; } rows[] = {
        {installedCode, REG_SZ, L"Still needed by 1 other products: CrashControl kept"},
        {installedCode, REG_EXPAND_SZ, L"Restored CrashDumpEnabled to 2"},
        {L"{4F1C2B3A-5D6E-4F70-8192-A3B4C5D6E7FA}", REG_SZ, L"Restored CrashDumpEnabled to 2"},
        {L"Installed", REG_SZ, L"Restored CrashDumpEnabled to 2"},
    };
    for (const auto& row : rows) {
        bench::RegistryKey crashControl(HKEY_LOCAL_MACHINE, kCrashControl);
        crashControl.SetDword(L"CrashDumpEnabled", 1);
        bench::RegistryKey record(HKEY_LOCAL_MACHINE, kRecord);
        record.SetDword(L"CrashDumpEnabled", 2).SetString(row.name, L"ForceFullDump", row.type);
        // Names of any length beside a product's code never end its count.
        for (std::size_t chars : {258, 259, 260}) record.SetString(std::wstring(chars, L'A'), L"x");
        auto session = bench::Package().Open();
        EXPECT_EQ(Deferred("UndoForceFullDump", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering UndoForceFullDump", L"Product " + session->Property(L"ProductCode") +
                                         L" no longer needs CrashControl", row.line, L"Exiting UndoForceFullDump"}));
        // Counted or not, a reference the undo does not own stays.
        EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kRecord, row.name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr), 0);
    }
}

// A record that a failed restore left holds the administrator's setting: kept,
// though no product needs the change any more.
TEST(ForceFullDump, ARecordNoProductNeedsIsKept) {
    if (MachineSetsCrashDumps()) GTEST_SKIP() << "the machine sets crash dumps itself, which this test would undo";
    bench::RegistryKey crashControl(HKEY_LOCAL_MACHINE, kCrashControl);
    crashControl.SetDword(L"CrashDumpEnabled", 1);
    bench::RegistryKey record(HKEY_LOCAL_MACHINE, kRecord);
    record.SetDword(L"CrashDumpEnabled", 7);
    auto session = bench::Package().Open();
    EXPECT_EQ(Deferred("ForceFullDump", *session), 0u);
    EXPECT_EQ(session->Log().at(1), L"Kept the record of an earlier run");
    DWORD value = 0, bytes = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kRecord, L"CrashDumpEnabled", RRF_RT_REG_DWORD, nullptr, &value, &bytes), 0);
    EXPECT_EQ(value, 7u);
}

// A setting of up to 1024 bytes is recorded, a longer one is not.
TEST(ForceFullDump, RecordsSettingsOfUpTo1024Bytes) {
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Control\\CrashControl";
    HKEY existing = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        GTEST_SKIP() << "the machine has crash control settings of its own, which this test would remove";
    }
    struct Case { std::size_t bytes; std::wstring line; };
    const Case cases[] = {
        {1023, L"Recorded CrashDumpEnabled before the change, of type 3"},
        {1024, L"Recorded CrashDumpEnabled before the change, of type 3"},
        {1025, L"Could not record CrashDumpEnabled: 234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        bench::RegistryKey crashControl(HKEY_LOCAL_MACHINE, path);
        crashControl.SetBytes(L"CrashDumpEnabled", REG_BINARY, std::vector<BYTE>(c.bytes, 7));
        auto session = bench::Package().Open();
        EXPECT_EQ(Deferred("ForceFullDump", *session), 0u);
        EXPECT_EQ(session->Log(), (Lines{L"Entering ForceFullDump", c.line, L"RegSetValueEx succeeded",
                                         L"Product " + session->Property(L"ProductCode") + L" needs CrashControl",
                                         L"Exiting ForceFullDump"}));
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\Shared");
    }
}

}  // namespace
