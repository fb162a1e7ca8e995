// The six component actions as data: where each finds its program, how it
// runs it, which texts it reports and how it reads the program's exit code.
// One shared run (components/component_action.h) carries out any row.
#pragma once

#include <cstdint>
#include <string>
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
};
struct ValueRule {
    std::vector<KnownCode> known;
    unsigned failureText;
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
    std::uint32_t rebootBits;
};

using ExitCodeRule = std::variant<ValueRule, BitRule>;

struct ExitCodeOutcome {
    const wchar_t* note = nullptr;
    bool reboot = false;
    std::vector<unsigned> failureTexts;  // in the order they are reported
};

ExitCodeOutcome InterpretExitCode(const ExitCodeRule& rule, std::uint32_t code);

struct ComponentAction {
    const wchar_t* name;          // in the entry and exit lines
    ProgramSource source;
    const wchar_t* sourceName;    // the key, directory or property
    const wchar_t* program;       // run from the folder; empty where the key names the program itself
    const wchar_t* switches;      // appended to the program, blank included
    unsigned missingFolderText;   // reported when the folder cannot be read
    unsigned startFailureText;    // reported when the program cannot be started
    ExitCodeRule exitCodes;
    const wchar_t* rebootLine;    // logged before a reboot is requested; null for none

    bool Deferred() const { return source == ProgramSource::CustomActionDataKey; }
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
