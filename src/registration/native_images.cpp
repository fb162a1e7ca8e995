// Native images for the messenger integration's managed assemblies, made or
// removed by the runtime's ngen.exe. The folder of the assemblies comes from
// the integration's own registry value, not from the package.
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/registry.h"

namespace kci {

namespace {

// The folder value, read as text whatever its stored type; the key is closed
// before any tool starts.
kci::RegistryRead ReadMessengerFolder() {
    kci::RegistryRead read;
    kci::RegKey key;
    read.openStatus = kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kci::kMessengerIntegrationKey, KEY_READ, key);
    if (read.openStatus != ERROR_SUCCESS) return read;
    const kci::RegistryText value = kci::ReadRegistryText(key.Get(), kci::kMessengerFolderValue, kci::kPathChars);
    read.readStatus = value.status;
    read.value = value.text;
    return read;
}

// Runs ngen.exe once per assembly; true when every launch started its process.
bool ProcessNGEN(MSIHANDLE session, bool uninstall) {
    kci::ShellToolHost host(session);
    return kci::GenerateNativeImages(host, uninstall ? kci::NgenMode::Uninstall : kci::NgenMode::Install,
                                     ReadMessengerFolder(), kci::ReadEnvironmentVariable(L"windir"));
}

// Both actions log under the install action's name; only their last lines differ.
// Kept as they are, "Existing" and "didnt" included: packages search the log for these lines
// (NativeImages.EachModeLaunchesSeventeenAssembliesFromTheRegisteredFolder).
UINT NativeImageAction(MSIHANDLE session, bool uninstall, const wchar_t* exitLine) {
    LogMessage(session, L"Entering ProcessNGENInstall");
    if (!ProcessNGEN(session, uninstall)) LogMessage(session, L"ProcessNGEN didnt finish all successful");
    LogMessage(session, L"%s", exitLine);
    return ERROR_SUCCESS;
}

}  // namespace

// Type 3073, deferred as the system, after InstallFiles and after the
// messenger integration's folder is registered. Reads no property. Returns 0
// on every path.
extern "C" UINT __stdcall ProcessNGENInstall(MSIHANDLE session) {
    return kci::RunAction(session, L"ProcessNGENInstall", kci::ModuleContext::Open,
                          [&] { return NativeImageAction(session, false, L"Existing ProcessNGENInstall"); });
}

// Type 3073, deferred as the system, on removal before RemoveFiles and before
// the messenger integration's folder value goes. Reads no property. Returns 0
// on every path; its entry and exit lines name the install action.
extern "C" UINT __stdcall ProcessNGENUnInstall(MSIHANDLE session) {
    return kci::RunAction(session, L"ProcessNGENUnInstall", kci::ModuleContext::Open,
                          [&] { return NativeImageAction(session, true, L"Exiting ProcessNGENInstall"); });
}

}  // namespace kci
