// Remembering where the media transport driver is installed, for its
// uninstaller: the folder its service registered, or else the default one.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "components/core/rtmx_folder.h"
#include "runtime/action_frame.h"
#include "runtime/known_folder.h"
#include "runtime/log.h"
#include "runtime/property.h"
#include "runtime/registry.h"

namespace kci {

namespace {

std::wstring DefaultFolder(MSIHANDLE session) {
    const kci::KnownFolder commonFiles = kci::GetKnownFolder(CSIDL_PROGRAM_FILES_COMMON);
    std::wstring candidate = commonFiles.path;
    if (FAILED(commonFiles.result)) {
        LogMessage(session, L"SHGetFolderPath returned %lx, setting to default", commonFiles.result);
        candidate = kci::kFallbackCommonFiles;
    } else {
        LogMessage(session, L"SHGetFolderPath returned valid folder: %s", candidate);
    }
    if (auto folder = kci::DefaultRtmxFolder(candidate)) return *folder;
    // Whoever reads the property gets a folder that fits its path buffer.
    LogMessage(session, L"Default folder below %s would be longer than %d characters, keeping that folder",
               candidate, static_cast<int>(kci::kRtmxFolderChars));
    return candidate;
}

// The folder the driver's service names, if it names one as plain text.
// Only REG_SZ counts: an expandable value would name a folder nobody expanded.
std::optional<std::wstring> RegisteredFolder(MSIHANDLE session) {
    return kci::ReadLoggedString(session, HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\Rtmx",
                                 L"FilePath", kci::kPathChars);
}

}  // namespace

// Type 1, immediate, on removal before UninstallRtmx (which reads the
// property): sets _RTMX_DIR_ to the media transport driver's folder.
extern "C" UINT __stdcall SetRtmxPath(MSIHANDLE session) {
    return kci::RunAction(session, L"SetRtmxPath", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering SetRtmxPath");
        std::wstring folder = DefaultFolder(session);
        if (auto registered = RegisteredFolder(session)) folder = *registered;
        LogMessage(session, L"Setting _RTMX_DIR_ property to %s", folder);
        kci::SetProperty(session, L"_RTMX_DIR_", folder.c_str());
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (SetRtmxPath.FallsBackToTheUsualFolderWhenTheShellHasNone).
        LogMessage(session, L"Leaving SetRtmxPath");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
