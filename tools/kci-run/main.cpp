// kci-run: runs one action of KorviCustomImmediate.dll (or another custom-action
// DLL) in a real installer session made on the fly, and prints every message
// the action sends, its result, the reboot request and chosen properties.
//
//   kci-run CheckRunningOutlook --feature ClicktoCall=local --property UILevel=2 --answer 4
//   kci-run InstallCamera --deferred --data "WQInstallerExe|C:\Drivers\WQInstaller.exe"
//   kci-run RemoveLogs --commit --data "INSTALLDIR|C:\Program Files\Korvi\"
//   kci-run RemoveLogs --directory "INSTALLDIR=C:\Program Files\Korvi"
//   kci-run SetRtmxPath --show _RTMX_DIR_
//
// Exit status: the action's result mod 256; 2 for a bad command line or an
// action the DLL does not export.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "harness/library.h"
#include "harness/package.h"
#include "harness/pe_image.h"
#include "harness/run_mode.h"
#include "harness/session.h"
#include "harness/text.h"

namespace {

constexpr int kUsageStatus = 2;

const char kUsage[] =
    "usage: kci-run ACTION [options]\n"
    "  --dll PATH             the custom-action DLL (default: KorviCustomImmediate.dll beside kci-run)\n"
    "  --property NAME=VALUE  set a property before the action runs (repeatable)\n"
    "  --feature NAME=STATE   a feature of the package: local, absent, or installed:local /\n"
    "                         installed:absent (installed before, and kept or being removed)\n"
    "  --directory NAME=PATH  a directory of the package, with that target path (repeatable)\n"
    "  --data TEXT            CustomActionData\n"
    "  --deferred             run as a deferred action runs: CustomActionData only\n"
    "  --rollback, --commit   the same, as a rollback or a commit row runs\n"
    "  --answer N             the answer to the next prompt (repeatable; afterwards 0, as /qn)\n"
    "  --show NAME            print a property after the run (repeatable)\n";

enum class FeatureState { Local, Absent, InstalledLocal, InstalledAbsent };

struct Options {
    std::wstring action;
    std::wstring dll;
    std::vector<std::pair<std::wstring, std::wstring>> properties;
    std::vector<std::pair<std::wstring, FeatureState>> features;
    std::vector<std::pair<std::wstring, std::wstring>> directories;
    std::optional<std::wstring> data;
    harness::RunMode mode = harness::RunMode::Immediate;
    std::vector<int> answers;
    std::vector<std::wstring> shown;
};

void Print(const std::wstring& text) {
    const std::string bytes = harness::Narrow(text) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int UsageError(const std::wstring& problem) {
    std::fputs(("kci-run: " + harness::Narrow(problem) + "\n").c_str(), stderr);
    std::fputs(kUsage, stderr);
    return kUsageStatus;
}

bool SplitAt(const std::wstring& text, wchar_t separator, std::wstring& left, std::wstring& right) {
    const size_t at = text.find(separator);
    if (at == std::wstring::npos || at == 0) return false;
    left = text.substr(0, at);
    right = text.substr(at + 1);
    return true;
}

std::optional<FeatureState> ParseFeatureState(const std::wstring& text) {
    if (text == L"local") return FeatureState::Local;
    if (text == L"absent") return FeatureState::Absent;
    if (text == L"installed:local") return FeatureState::InstalledLocal;
    if (text == L"installed:absent") return FeatureState::InstalledAbsent;
    return std::nullopt;
}

std::optional<int> ParseNumber(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    size_t used = 0;
    try {
        const int value = std::stoi(text, &used, 0);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Reads the command line into `options`; an empty text on success, else the problem.
std::wstring ParseOptions(int argc, wchar_t** argv, Options& options) {
    if (argc < 2 || argv[1][0] == L'-') return L"the first argument names the action";
    options.action = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring option = argv[i];
        static const std::map<std::wstring, harness::RunMode> modes = {
            {L"--deferred", harness::RunMode::Deferred}, {L"--rollback", harness::RunMode::Rollback},
            {L"--commit", harness::RunMode::Commit}};
        if (modes.count(option)) {
            options.mode = modes.at(option);
            continue;
        }
        static const std::set<std::wstring> valued = {L"--dll",  L"--property", L"--feature", L"--directory",
                                                      L"--data", L"--answer",   L"--show"};
        if (!valued.count(option)) return L"unknown option " + option;
        if (i + 1 >= argc) return option + L" needs a value";
        const std::wstring value = argv[++i];
        std::wstring name, rest;
        if (option == L"--dll") {
            options.dll = value;
        } else if (option == L"--property") {
            if (!SplitAt(value, L'=', name, rest)) return L"--property takes NAME=VALUE, not " + value;
            options.properties.emplace_back(name, rest);
        } else if (option == L"--directory") {
            if (!SplitAt(value, L'=', name, rest)) return L"--directory takes NAME=PATH, not " + value;
            options.directories.emplace_back(name, rest);
        } else if (option == L"--feature") {
            std::optional<FeatureState> state;
            if (SplitAt(value, L'=', name, rest)) state = ParseFeatureState(rest);
            if (!state) return L"--feature takes NAME=local|absent|installed:local|installed:absent, not " + value;
            options.features.emplace_back(name, *state);
        } else if (option == L"--data") {
            options.data = value;
        } else if (option == L"--answer") {
            const std::optional<int> answer = ParseNumber(value);
            if (!answer) return L"--answer takes a number, not " + value;
            options.answers.push_back(*answer);
        } else {
            options.shown.push_back(value);
        }
    }
    if (options.mode != harness::RunMode::Immediate &&
        (!options.properties.empty() || !options.features.empty() || !options.directories.empty()))
        return L"an action run from the script reads CustomActionData only: --property, --feature and --directory "
               L"do not apply";
    return L"";
}


// Windows refuses MsiSetMode in the script: a script form's reboot is the
// record it leaves for RequestRecordedReboot, taken here so that no later run
// finds it.
std::wstring RebootLine(const harness::Session& session, harness::RunMode mode) {
    if (session.RebootAtEnd()) return L"requested";
    const std::wstring product = session.Property(L"ProductCode");
    HKEY pending = nullptr;
    if (mode == harness::RunMode::Immediate ||
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tenvor Systems, Inc.\\KORVI\\RebootPending", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &pending) != ERROR_SUCCESS)
        return L"not requested";
    wchar_t action[260] = {};
    DWORD bytes = sizeof(action) - sizeof(wchar_t);
    const bool recorded = RegQueryValueExW(pending, product.c_str(), nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(action), &bytes) == ERROR_SUCCESS;
    if (recorded) RegDeleteValueW(pending, product.c_str());
    RegCloseKey(pending);
    return recorded ? L"recorded by " + std::wstring(action) + L", for RequestRecordedReboot" : L"not requested";
}

const wchar_t* KindName(UINT kind) {
    switch (kind) {
        case INSTALLMESSAGE_FATALEXIT: return L"fatal exit";
        case INSTALLMESSAGE_ERROR: return L"error";
        case INSTALLMESSAGE_WARNING: return L"warning";
        case INSTALLMESSAGE_USER: return L"user";
        case INSTALLMESSAGE_INFO: return L"log";
        case INSTALLMESSAGE_FILESINUSE: return L"files-in-use";
        case INSTALLMESSAGE_ACTIONSTART: return L"action start";
        case INSTALLMESSAGE_ACTIONDATA: return L"action data";
        case INSTALLMESSAGE_PROGRESS: return L"progress";
        case INSTALLMESSAGE_COMMONDATA: return L"common data";
        case 0x19000000: return L"rm files-in-use";
        default: return L"message";
    }
}

// The messages that ask the user something, answered by --answer in turn.
const std::vector<UINT> kPromptKinds = {INSTALLMESSAGE_ERROR, INSTALLMESSAGE_WARNING, INSTALLMESSAGE_USER,
                                        INSTALLMESSAGE_FILESINUSE, 0x19000000};

std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') line += L"\\n";
        else if (c == L'\r') line += L"\\r";
        else line += c;
    }
    return line;
}

wchar_t Hex(unsigned digit) { return static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10); }

std::wstring HexType(UINT type) {
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += Hex((type >> shift) & 0xF);
    return text;
}

void PrintMessage(const harness::Message& message) {
    const UINT kind = message.kind();
    if (kind == INSTALLMESSAGE_INFO) {
        Print(L"log: " + OneLine(message.logged));
        return;
    }
    std::wstring line = std::wstring(KindName(kind)) + L" (" + HexType(message.type) + L"):";
    for (size_t i = 0; i < message.fields.size(); ++i) {
        const harness::Field& field = message.fields[i];
        line += L" [" + std::to_wstring(i) + L"] ";
        if (field.isNull) line += L"null";
        else if (field.isInteger) line += std::to_wstring(field.integer);
        else line += L"\"" + OneLine(field.text) + L"\"";
    }
    if (std::find(kPromptKinds.begin(), kPromptKinds.end(), kind) != kPromptKinds.end())
        line += L" -> answered " + std::to_wstring(message.answer);
    Print(line);
}

const wchar_t* ResultName(UINT result) {
    switch (result) {
        case ERROR_SUCCESS: return L"success";
        case ERROR_INSTALL_USEREXIT: return L"user exit";
        case ERROR_INSTALL_FAILURE: return L"failure";
        default: return L"a number the installer would take as failure";
    }
}

harness::Package MakePackage(const Options& options) {
    harness::Package package;
    for (const auto& feature : options.features) package.Feature(feature.first);
    for (const auto& directory : options.directories) package.Directory(directory.first, L"TARGETDIR", L".");
    if (options.data) package.Property(L"CustomActionData", *options.data);
    return package;
}

bool NeedsInstalledProduct(const Options& options) {
    for (const auto& feature : options.features)
        if (feature.second == FeatureState::InstalledLocal || feature.second == FeatureState::InstalledAbsent)
            return true;
    return false;
}

// Costs the session, sets each feature's action (features installed
// beforehand keep their installed state) and each directory's target path.
void ApplyFeaturesAndDirectories(harness::Session& session, const Options& options) {
    if (options.features.empty() && options.directories.empty()) return;
    session.Cost();
    for (const auto& [name, state] : options.features)
        session.SetFeatureLocal(name, state == FeatureState::Local || state == FeatureState::InstalledLocal);
    for (const auto& [name, path] : options.directories) session.SetTargetPath(name, path);
}

int Run(const Options& options) {
    const std::wstring dll = options.dll.empty() ? harness::BuildFolder() + L"\\KorviCustomImmediate.dll" : options.dll;
    HMODULE library = LoadLibraryW(dll.c_str());
    if (library == nullptr) {
        std::fputs(("kci-run: cannot load " + harness::Narrow(dll) + " (error " + std::to_string(GetLastError()) +
                    ")\n").c_str(), stderr);
        return kUsageStatus;
    }
    const std::string action = harness::Narrow(options.action);
    const std::set<std::string> actions = harness::ExportedActions(library);
    if (!actions.count(action)) {
        std::string list;
        for (const auto& name : actions) list += (list.empty() ? "" : ", ") + name;
        std::fputs(("kci-run: " + harness::Narrow(dll) + " exports no action named " + action +
                    "\nIts actions: " + list + "\n").c_str(), stderr);
        return kUsageStatus;
    }

    const harness::Package package = MakePackage(options);
    std::unique_ptr<harness::InstalledPackage> installed;
    if (NeedsInstalledProduct(options)) {
        installed = std::make_unique<harness::InstalledPackage>(package);
        if (installed->Result() != ERROR_SUCCESS) {
            std::fputs(("kci-run: installing the test product failed with " + std::to_string(installed->Result()) +
                        "\n").c_str(), stderr);
            return kUsageStatus;
        }
    }
    auto session = package.Open();
    ApplyFeaturesAndDirectories(*session, options);
    for (const auto& [name, value] : options.properties) session->SetProperty(name, value);
    session->AnswerInTurn(kPromptKinds, options.answers);
    session->ClearRecords();

    // An in-process session cannot be put in a script's mode (MsiSetMode
    // refuses it): the library's MsiGetMode import answers it instead.
    harness::AnswerRunMode(library);
    harness::SetRunMode(options.mode);
    const UINT result = harness::CallAction(library, action.c_str(), session->Handle());
    harness::SetRunMode(harness::RunMode::Immediate);

    for (const auto& message : session->Messages()) PrintMessage(message);
    Print(L"result: " + std::to_wstring(result) + L" (" + ResultName(result) + L")");
    Print(L"reboot: " + RebootLine(*session, options.mode));
    for (const auto& name : options.shown) Print(L"property " + name + L" = " + session->Property(name));
    return static_cast<int>(result % 256);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Lines end in a bare line feed, the same on a Windows console and through Wine.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Options options;
    const std::wstring problem = ParseOptions(argc, argv, options);
    if (!problem.empty()) return UsageError(problem);
    CoInitialize(nullptr);  // the session harness makes GUIDs for its packages
    try {
        return Run(options);
    } catch (const std::exception& failure) {
        std::fputs((std::string("kci-run: ") + failure.what() + "\n").c_str(), stderr);
        return kUsageStatus;
    }
}
