// CheckRunningBXRApps: applications that registered themselves with the
// maker's client framework hold its files. The package carries no list: each
// application enters itself under the key below, one value per application,
// named by its executable with its display name as data. The action writes
// the log texts of CheckRunningApps; only its own lines tell it apart.
#include "detection/files_in_use.h"
#include "detection/process_lookup.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/registry.h"

namespace kci {

namespace {

const wchar_t kRegisteredApplicationsKey[] =
    L"SOFTWARE\\Tenvor Systems, Inc.\\Omni Communications\\LORSF\\RegisteredApplications";

const kci::PromptTexts kTexts = kci::kCheckRunningAppsAnswers
    .Count(L"Number of running registered applications is %d", kci::CountOf::Applications)
    .Success(L"Exiting CheckRunningApps with success");

// The display name of the application registered as value `name`, whatever
// the value's type. One that cannot be read shows as the executable's name,
// so that the user still learns what to close.
std::wstring DisplayName(MSIHANDLE session, HKEY key, const std::wstring& name) {
    kci::RegistryText data = kci::ReadRegistryText(key, name.c_str(), kci::kPathChars);
    if (data.status == ERROR_SUCCESS) return data.text;
    LogMessage(session, L"Could not read the application name of %s (error %d); showing the process name", name,
               static_cast<int>(data.status));
    return name;
}

// The registered applications that run now, in the registry's order; nothing
// when the key cannot be opened (the framework is not installed).
std::optional<kci::FilesInUseList> DetectRegisteredApplications(MSIHANDLE session) {
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, KEY_READ, key) != ERROR_SUCCESS) {
        LogMessage(session, L"Not able to open RegisteredApplications hive. No applications to close.");
        return std::nullopt;
    }
    kci::FilesInUseList running;
    for (DWORD index = 0;; ++index) {
        kci::RegistryValue value = kci::EnumRegistryValueName(key.Get(), index, kci::kPathChars);
        if (value.status == ERROR_MORE_DATA) {
            // No executable has a name this long; the values after it still count.
            LogMessage(session, L"Registered application %d has a name longer than %d characters; skipped",
                       static_cast<int>(index), static_cast<int>(kci::kPathChars));
            continue;
        }
        if (value.status != ERROR_SUCCESS) break;  // no more values, or the key went away
        LogMessage(session, L"Process name is %s", value.name);
        std::wstring displayName = DisplayName(session, key.Get(), value.name);
        LogMessage(session, L"Application name is %s", displayName);
        if (FindRunningProcessByName(session, value.name)) running.push_back({value.name, displayName});
    }
    return running;  // the key closes before the prompt is shown
}

}  // namespace

// Type 1, immediate, before InstallValidate/InstallFiles: asks the user to
// close every registered application that runs; 0 when the key is missing or
// none runs, 1602 on Cancel, when the prompt cannot be shown (no message
// box), or when a silent install cannot proceed.
extern "C" UINT __stdcall CheckRunningBXRApps(MSIHANDLE session) {
    return kci::RunAction(session, L"CheckRunningBXRApps", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CheckRunningApps");
        return kci::CheckFilesInUse(session, kTexts, [session] { return DetectRegisteredApplications(session); });
    });
}

}  // namespace kci
