#include "components/core/component_table.h"

#include <algorithm>

#include "runtime/core/command_line.h"
#include "runtime/core/text_ids.h"

namespace kci {

// clang-format off
const ComponentAction kInstallCamera{
    L"InstallCamera", ProgramSource::CustomActionDataKey, L"WQInstallerExe", L"", L" /install",
    0, kTextCameraInstallError,
    ValueRule{{{0}, {1}, {2, false, L"User aborted camera install"}, {3, true}}, kTextCameraInstallError},
    nullptr};

const ComponentAction kInstallQdnAndFilter{
    L"InstallQdnAndFilter", ProgramSource::CustomActionDataKey, L"QdnAxExe", L"", L" /I",
    0, kTextQdnInstallError,
    BitRule{{{0x1, kTextQdnDriverInstallFailed}, {0x2, kTextFilterInstallFailed},
             {0x4, kTextQdnMarkedForDeletion}, {0x8, kTextQdnSeeDriverLog}}, 0},
    nullptr};

const ComponentAction kInstallRtmx{
    L"InstallRtmx", ProgramSource::CustomActionDataKey, L"RtmxDriverInstallerExe", L"", L" /install",
    0, kTextRtmxInstallFailed,
    ValueRule{{{0}}, kTextRtmxInstallFailed},
    nullptr};

const ComponentAction kUninstallCamera{
    L"UninstallCamera", ProgramSource::DirectoryTargetPath, L"CAMERADRIVER", L"WQInstaller.exe", L" /uninstall",
    kTextCameraUninstallerMissing, kTextCameraUninstallError,
    ValueRule{{{0}, {3, true}}, kTextCameraUninstallError},
    L"Setting reboot flag in the installer - camera uninstall returned exit code 3."};

const ComponentAction kUninstallQdnAndFilter{
    L"UninstallQdnAndFilter", ProgramSource::DirectoryTargetPath, L"INSTALLDIR", L"InstallQdnAndAx.exe", L" /U",
    kTextQdnUninstallerMissing, kTextQdnUninstallError,
    BitRule{{{0x1, kTextQdnDriverUninstallFailed}, {0x2, kTextFilterUninstallFailed},
             {0x4, kTextQdnMarkedForDeletion}, {0x8, kTextQdnSeeDriverLog}}, 0x1 | 0x2},
    L"Setting reboot flag in the installer - qdn uninstall returned exit code 3."};

const ComponentAction kUninstallRtmx{
    L"UninstallRtmx", ProgramSource::FolderProperty, L"_RTMX_DIR_", L"RtmxDriverInstaller.exe", L" /uninstall",
    kTextRtmxPathMissing, kTextRtmxUninstallError,
    ValueRule{{{0}, {3, true}}, kTextRtmxUninstallError},
    L"Setting reboot flag in the installer - rtmx uninstall returned exit code 3."};
// clang-format on

ExitCodeOutcome InterpretExitCode(const ExitCodeRule& rule, std::uint32_t code) {
    ExitCodeOutcome outcome;
    if (const auto* value = std::get_if<ValueRule>(&rule)) {
        auto known = std::find_if(value->known.begin(), value->known.end(),
                                  [code](const KnownCode& k) { return k.code == code; });
        if (known == value->known.end()) {
            outcome.failureTexts.push_back(value->failureText);
        } else {
            outcome.reboot = known->reboot;
            outcome.note = known->note;
        }
    } else {
        const auto& bits = std::get<BitRule>(rule);
        for (const auto& failure : bits.failures)
            if (code & failure.bit) outcome.failureTexts.push_back(failure.text);
        outcome.reboot = (code & bits.rebootBits) != 0;
    }
    return outcome;
}

std::wstring ComponentCommandLine(const ComponentAction& action, const std::wstring& found) {
    const std::wstring program =
        action.source == ProgramSource::CustomActionDataKey ? found : JoinPath(found, action.program);
    return ProgramCommandLine(program, action.switches);
}

}  // namespace kci
