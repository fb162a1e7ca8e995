#include "components/core/component_table.h"

#include <algorithm>

#include "runtime/core/command_line.h"
#include "runtime/core/text_ids.h"

namespace kci {

// clang-format off
const ComponentAction kInstallCamera = ComponentAction::Named(L"InstallCamera")
    .RunsProgramUnderKey(L"WQInstallerExe").WithSwitches(L" /install")
    .ReportsStartFailure(kTextCameraInstallError)
    .ReadsExitCode(ValueRule::Known({Code(0), Code(1), Code(2).Logs(L"User aborted camera install"), Code(3).Reboots()})
                       .OtherwiseReports(kTextCameraInstallError));

const ComponentAction kInstallQdnAndFilter = ComponentAction::Named(L"InstallQdnAndFilter")
    .RunsProgramUnderKey(L"QdnAxExe").WithSwitches(L" /I")
    .ReportsStartFailure(kTextQdnInstallError)
    .ReadsExitCode(BitRule::Failures({{0x1, kTextQdnDriverInstallFailed}, {0x2, kTextFilterInstallFailed},
                                      {0x4, kTextQdnMarkedForDeletion}, {0x8, kTextQdnSeeDriverLog}}));

const ComponentAction kInstallRtmx = ComponentAction::Named(L"InstallRtmx")
    .RunsProgramUnderKey(L"RtmxDriverInstallerExe").WithSwitches(L" /install")
    .ReportsStartFailure(kTextRtmxInstallFailed)
    .ReadsExitCode(ValueRule::Known({Code(0)}).OtherwiseReports(kTextRtmxInstallFailed));

const ComponentAction kUninstallCamera = ComponentAction::Named(L"UninstallCamera")
    .RunsFromDirectory(L"CAMERADRIVER", L"WQInstaller.exe").WithSwitches(L" /uninstall")
    .ReportsMissingFolder(kTextCameraUninstallerMissing)
    .ReportsStartFailure(kTextCameraUninstallError)
    .ReadsExitCode(ValueRule::Known({Code(0), Code(3).Reboots()}).OtherwiseReports(kTextCameraUninstallError))
    .LogsBeforeReboot(L"Setting reboot flag in the installer - camera uninstall returned exit code 3.");

const ComponentAction kUninstallQdnAndFilter = ComponentAction::Named(L"UninstallQdnAndFilter")
    .RunsFromDirectory(L"INSTALLDIR", L"InstallQdnAndAx.exe").WithSwitches(L" /U")
    .ReportsMissingFolder(kTextQdnUninstallerMissing)
    .ReportsStartFailure(kTextQdnUninstallError)
    .ReadsExitCode(BitRule::Failures({{0x1, kTextQdnDriverUninstallFailed}, {0x2, kTextFilterUninstallFailed},
                                      {0x4, kTextQdnMarkedForDeletion}, {0x8, kTextQdnSeeDriverLog}})
                       .RebootOn(0x1 | 0x2))
    .LogsBeforeReboot(L"Setting reboot flag in the installer - qdn uninstall returned exit code 3.");

const ComponentAction kUninstallRtmx = ComponentAction::Named(L"UninstallRtmx")
    .RunsFromFolderProperty(L"_RTMX_DIR_", L"RtmxDriverInstaller.exe").WithSwitches(L" /uninstall")
    .ReportsMissingFolder(kTextRtmxPathMissing)
    .ReportsStartFailure(kTextRtmxUninstallError)
    .ReadsExitCode(ValueRule::Known({Code(0), Code(3).Reboots()}).OtherwiseReports(kTextRtmxUninstallError))
    .LogsBeforeReboot(L"Setting reboot flag in the installer - rtmx uninstall returned exit code 3.");
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
