// What the registration actions hand to the platform's tools: the URL
// reservation lines, the code-access policy lines and the assemblies that get
// native images. Fixed at build time; the actions only launch them.
#pragma once

#include <array>
#include <cstddef>

#include "runtime/core/named_fields.h"

namespace kci {

// One parameter line per reserved port, 8191 first, 44440 to 44452 after it.
// Whole constants, passed to the tool unchanged.
inline constexpr std::size_t kReservedPortCount = 14;
extern const std::array<const wchar_t*, kReservedPortCount> kNetshLines;
extern const std::array<const wchar_t*, kReservedPortCount> kHttpcfgLines;
// What takes each reservation away again, in the same port order. Deleting
// one that is not there is no failure.
extern const std::array<const wchar_t*, kReservedPortCount> kNetshUndoLines;
extern const std::array<const wchar_t*, kReservedPortCount> kHttpcfgUndoLines;

// The public half of the key pair that signs the person-name add-in: the
// runtime's 160-byte strong-name public-key blob in upper-case hexadecimal.
// See docs/actions.md ("The add-in's strong-name key") for how it was made.
extern const wchar_t kStrongNamePublicKey[];

// The four policy lines, in launch order: enterprise by file, enterprise by
// key, machine by file, machine by key. A file line is its head, the
// directory and the action's assembly tail; a key line is its head, a blank,
// the public key and kCaspolKeyTail. Each parent group, membership all code,
// grants Nothing: only its strong-name child grants full trust. Built by
// named field, as in CaspolLine().Head(L"-polchgprompt off ...").ByFile().
struct CaspolLine {
    const wchar_t* head = nullptr;
    bool byFile = false;

    constexpr CaspolLine Head(const wchar_t* text) const { return WithField(*this, &CaspolLine::head, text); }
    constexpr CaspolLine ByFile() const { return WithField(*this, &CaspolLine::byFile, true); }
    constexpr CaspolLine ByKey() const { return WithField(*this, &CaspolLine::byFile, false); }
};
inline constexpr std::size_t kCaspolLineCount = 4;
extern const std::array<CaspolLine, kCaspolLineCount> kCaspolLines;
extern const wchar_t kCaspolKeyTail[];

// What one code-access action adds to the common run, built by named field.
struct CaspolAction {
    const wchar_t* assemblyTail = nullptr;  // closes the quoted file path and names the assembly
    bool logsWholeLines = false;            // "CASPOL<n> = <line>" rather than the index alone
    const wchar_t* exitLine = nullptr;      // null: the action writes none

    constexpr CaspolAction AssemblyTail(const wchar_t* tail) const {
        return WithField(*this, &CaspolAction::assemblyTail, tail);
    }
    constexpr CaspolAction LogsWholeLines() const { return WithField(*this, &CaspolAction::logsWholeLines, true); }
    constexpr CaspolAction ExitLine(const wchar_t* line) const { return WithField(*this, &CaspolAction::exitLine, line); }
};
extern const CaspolAction kCaspolProduct;       // the add-in in the product's own tree
extern const CaspolAction kCaspolClickToCall;   // the add-in in the click-to-call layout

// The policy's undo lines, enterprise level first: each run of the tool
// removes one TenvorSmartTags group at its level.
inline constexpr std::size_t kCaspolUndoLineCount = 2;
extern const std::array<const wchar_t*, kCaspolUndoLineCount> kCaspolUndoLines;
// The most runs of one undo line. Each install run of either policy action
// adds two groups per level, so four runs leave at most eight.
inline constexpr int kCaspolUndoRunsPerLevel = 8;

// The longest wait for each URL or policy tool, so that one change is in
// place before the next, and an undo never overtakes what it undoes.
inline constexpr unsigned kToolWaitMs = 5000;
// The longest wait, after the last launch, for the native-image removals
// together: an image is removed before the removal takes its assembly.
inline constexpr unsigned kNgenUninstallWaitMs = 60000;

// The assemblies that get native images, relative to the messenger
// integration's folder, in launch order.
inline constexpr std::size_t kNativeImageAssemblyCount = 17;
extern const std::array<const wchar_t*, kNativeImageAssemblyCount> kNativeImageAssemblies;

// Where the messenger integration names its folder (HKEY_LOCAL_MACHINE).
inline constexpr wchar_t kMessengerIntegrationKey[] = L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORIMOC";
inline constexpr wchar_t kMessengerFolderValue[] = L"InstallDir";

enum class NgenMode { Install, Uninstall };
// Ends in an opening double quote that the parameter line closes.
const wchar_t* NgenPrefix(NgenMode mode);

}  // namespace kci
