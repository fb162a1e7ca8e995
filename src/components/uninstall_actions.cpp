// Removing the three components by running their uninstaller programs from
// the folders the running installation knows. What differs between the three
// is a row of components/core/component_table.cpp.
//
// Each also runs from the installer's script: deferred as the system (type
// 3073, <action>Deferred) before RemoveFiles, or as the rollback row of its
// install action (type 3329, <action>Rollback). There it reads the folder from
// CustomActionData under the directory's or property's name, for example
// CAMERADRIVER|[CAMERADRIVER], and shows its texts in the default language.
#include "components/component_action.h"
#include "runtime/action_frame.h"

namespace kci {

// Type 1, immediate, on removal after CostFinalize and while the camera
// driver's files are still on disk. Runs "WQInstaller.exe /uninstall" from the
// target path of CAMERADRIVER; exit code 3 asks for a reboot, any other code
// but 0 is reported.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall UninstallCamera(MSIHANDLE session) {
    return kci::RunAction(session, L"UninstallCamera", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kUninstallCamera); });
}

// Type 1, immediate, on removal after CostFinalize and while the product's
// files are still on disk. Runs "InstallQdnAndAx.exe /U" from the target path
// of INSTALLDIR; each failure bit is reported, and the driver or filter
// failure bits also ask for a reboot.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall UninstallQdnAndFilter(MSIHANDLE session) {
    return kci::RunAction(session, L"UninstallQdnAndFilter", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kUninstallQdnAndFilter); });
}

// Type 1, immediate, on removal after SetRtmxPath. Runs
// "RtmxDriverInstaller.exe /uninstall" from the folder in _RTMX_DIR_; exit
// code 3 asks for a reboot, any other code but 0 is reported.
// No module context, as always: nothing here needs it (held by Library.EveryExportRunsInTheActionFrame).
extern "C" UINT __stdcall UninstallRtmx(MSIHANDLE session) {
    return kci::RunAction(session, L"UninstallRtmx", kci::ModuleContext::None,
                          [&] { return kci::RunComponentAction(session, kci::kUninstallRtmx); });
}

}  // namespace kci
