// Installing the camera drivers, the discovery driver with its media filter,
// and the media transport driver, each by running the installer program the
// package ships for it. What differs between the three is a row of
// components/core/component_table.cpp: the key, the switch, the texts and
// how the exit code is read.
#include "components/component_action.h"
#include "runtime/action_frame.h"

namespace kci {

// Type 1025, deferred, after the camera driver installer is on disk.
// CustomActionData is WQInstallerExe|<path of WQInstaller.exe>. Runs it with
// " /install"; exit code 3 asks for a reboot at the end, 2 (the user gave up)
// is only logged, anything above 3 is reported.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall InstallCamera(MSIHANDLE session) {
    return kci::RunAction(session, L"InstallCamera", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kInstallCamera); });
}

// Type 1025, deferred, after the discovery driver installer is on disk.
// CustomActionData is QdnAxExe|<path of InstallQdnAndAx.exe>. Runs it with
// " /I"; each of its four failure bits is reported.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall InstallQdnAndFilter(MSIHANDLE session) {
    return kci::RunAction(session, L"InstallQdnAndFilter", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kInstallQdnAndFilter); });
}

// Type 1025, deferred, after the media transport driver installer is on disk.
// CustomActionData is RtmxDriverInstallerExe|<path of RtmxDriverInstaller.exe>.
// Runs it with " /install"; any exit code but 0 is reported.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall InstallRtmx(MSIHANDLE session) {
    return kci::RunAction(session, L"InstallRtmx", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kInstallRtmx); });
}

}  // namespace kci
