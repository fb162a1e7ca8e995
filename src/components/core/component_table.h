// The six component actions as data: where each finds its program, how it
// runs it, which texts it reports and how it reads the program's exit code.
// One shared run (components/component_action.h) carries out any row.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kci {

enum class ProgramSource {
    CustomActionDataKey,  // deferred: the program's whole path is the value under a key
    DirectoryTargetPath,  // the program lies in a directory's target path
    FolderProperty,       // the program lies in the folder an installer property names
};

// An exit code read as one value: each listed code has its effect, and any
// code not listed is a failure that reports `failureText`.
struct KnownCode {
    std::uint32_t code;
    bool reboot = false;
    const wchar_t* note = nullptr;  // a line logged for this code, if any

    KnownCode& Logs(const wchar_t* line) { note = line; return *this; }
    KnownCode& Reboots() { reboot = true; return *this; }
};
inline KnownCode Code(std::uint32_t code) { return KnownCode{code}; }

struct ValueRule {
    std::vector<KnownCode> known;
    unsigned failureText = 0;

    static ValueRule Known(std::vector<KnownCode> codes) { return ValueRule{std::move(codes)}; }
    ValueRule& OtherwiseReports(unsigned text) { failureText = text; return *this; }
};

// An exit code read as bits: each set failure bit reports its text, in the
// order listed; any set bit of `rebootBits` requests a reboot. Other bits are
// ignored.
struct FailureBit {
    std::uint32_t bit;
    unsigned text;
};
struct BitRule {
    std::vector<FailureBit> failures;
    std::uint32_t rebootBits = 0;

    static BitRule Failures(std::vector<FailureBit> bits) { return BitRule{std::move(bits)}; }
    BitRule& RebootOn(std::uint32_t bits) { rebootBits = bits; return *this; }
};

using ExitCodeRule = std::variant<ValueRule, BitRule>;

struct ExitCodeOutcome {
    const wchar_t* note = nullptr;
    bool reboot = false;
    std::vector<unsigned> failureTexts;  // in the order they are reported
};

ExitCodeOutcome InterpretExitCode(const ExitCodeRule& rule, std::uint32_t code);

// A row, built by named steps (see component_table.cpp):
//   ComponentAction::Named(L"UninstallRtmx").RunsFromFolderProperty(L"_RTMX_DIR_", L"x.exe").WithSwitches(L" /u")
struct ComponentAction {
    const wchar_t* name = L"";        // in the entry and exit lines
    ProgramSource source = ProgramSource::CustomActionDataKey;
    const wchar_t* sourceName = L"";  // the key, directory or property
    const wchar_t* program = L"";     // run from the folder; empty where the key names the program itself
    const wchar_t* switches = L"";    // appended to the program, blank included
    unsigned missingFolderText = 0;   // reported when the folder cannot be read
    unsigned startFailureText = 0;    // reported when the program cannot be started
    ExitCodeRule exitCodes;
    const wchar_t* rebootLine = nullptr;  // logged before a reboot is requested; null for none

    bool Deferred() const { return source == ProgramSource::CustomActionDataKey; }

    static ComponentAction Named(const wchar_t* action) { ComponentAction row; row.name = action; return row; }
    ComponentAction& RunsProgramUnderKey(const wchar_t* key) {
        return From(ProgramSource::CustomActionDataKey, key, L"");
    }
    ComponentAction& RunsFromDirectory(const wchar_t* directory, const wchar_t* file) {
        return From(ProgramSource::DirectoryTargetPath, directory, file);
    }
    ComponentAction& RunsFromFolderProperty(const wchar_t* property, const wchar_t* file) {
        return From(ProgramSource::FolderProperty, property, file);
    }
    ComponentAction& WithSwitches(const wchar_t* text) { switches = text; return *this; }
    ComponentAction& ReportsMissingFolder(unsigned text) { missingFolderText = text; return *this; }
    ComponentAction& ReportsStartFailure(unsigned text) { startFailureText = text; return *this; }
    ComponentAction& ReadsExitCode(ExitCodeRule rule) { exitCodes = std::move(rule); return *this; }
    ComponentAction& LogsBeforeReboot(const wchar_t* line) { rebootLine = line; return *this; }

private:
    ComponentAction& From(ProgramSource kind, const wchar_t* where, const wchar_t* file) {
        source = kind;
        sourceName = where;
        program = file;
        return *this;
    }
};

extern const ComponentAction kInstallCamera;
extern const ComponentAction kInstallQdnAndFilter;
extern const ComponentAction kInstallRtmx;
extern const ComponentAction kUninstallCamera;
extern const ComponentAction kUninstallQdnAndFilter;
extern const ComponentAction kUninstallRtmx;

// The command line an action runs, given what its source gave: the program's
// path for a key, or the folder, which is joined to the program with exactly
// one backslash. The program path is quoted (see ProgramCommandLine), and
// nothing is trimmed.
std::wstring ComponentCommandLine(const ComponentAction& action, const std::wstring& found);

}  // namespace kci
