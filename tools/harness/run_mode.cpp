#include "harness/run_mode.h"

#include <msi.h>
#include <msiquery.h>

#include <cwchar>
#include <map>
#include <set>
#include <string>

#include "harness/pe_image.h"

namespace harness {
namespace {

RunMode answered = RunMode::Immediate;
std::map<std::string, void*> real;  // the import's own function, by name

template <class F>
F Real(const char* name) { return reinterpret_cast<F>(real.at(name)); }

bool InScript() { return answered != RunMode::Immediate; }

// In the script Windows answers only the three script modes (any other is
// false) and refuses the reboot mode.
BOOL WINAPI AnsweredGetMode(MSIHANDLE session, MSIRUNMODE mode) {
    if (!InScript()) return Real<decltype(&MsiGetMode)>("MsiGetMode")(session, mode);
    if (mode == MSIRUNMODE_ROLLBACK) return answered == RunMode::Rollback;
    if (mode == MSIRUNMODE_COMMIT) return answered == RunMode::Commit;
    return mode == MSIRUNMODE_SCHEDULED;
}

UINT WINAPI ScriptSetMode(MSIHANDLE session, MSIRUNMODE mode, BOOL state) {
    if (InScript()) return ERROR_ACCESS_DENIED;
    return Real<decltype(&MsiSetMode)>("MsiSetMode")(session, mode, state);
}

// A script action reads CustomActionData, ProductCode (not in a commit form)
// and UserSID; every other property reads empty.
UINT WINAPI ScriptGetProperty(MSIHANDLE session, LPCWSTR name, LPWSTR value, LPDWORD chars) {
    const std::wstring kept = name ? name : L"";
    if (!InScript() || kept == L"CustomActionData" || kept == L"UserSID" ||
        (kept == L"ProductCode" && answered != RunMode::Commit))
        return Real<decltype(&MsiGetPropertyW)>("MsiGetPropertyW")(session, name, value, chars);
    if (!chars) return ERROR_INVALID_PARAMETER;
    const bool fits = value && *chars > 0;
    if (fits) value[0] = L'\0';
    *chars = 0;
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

// Refused in the script: Windows leaves a script action none of these.
UINT WINAPI ScriptGetTargetPath(MSIHANDLE session, LPCWSTR folder, LPWSTR path, LPDWORD chars) {
    if (InScript()) return ERROR_INVALID_HANDLE;
    return Real<decltype(&MsiGetTargetPathW)>("MsiGetTargetPathW")(session, folder, path, chars);
}
UINT WINAPI ScriptSetProperty(MSIHANDLE session, LPCWSTR name, LPCWSTR value) {
    if (InScript()) return ERROR_INVALID_HANDLE;
    return Real<decltype(&MsiSetPropertyW)>("MsiSetPropertyW")(session, name, value);
}
UINT WINAPI ScriptGetFeatureState(MSIHANDLE session, LPCWSTR feature, INSTALLSTATE* installed, INSTALLSTATE* action) {
    if (InScript()) return ERROR_INVALID_HANDLE;
    return Real<decltype(&MsiGetFeatureStateW)>("MsiGetFeatureStateW")(session, feature, installed, action);
}

const std::map<std::string, void*> kAnswers = {
    {"MsiGetMode", reinterpret_cast<void*>(&AnsweredGetMode)},
    {"MsiSetMode", reinterpret_cast<void*>(&ScriptSetMode)},
    {"MsiGetPropertyW", reinterpret_cast<void*>(&ScriptGetProperty)},
    {"MsiGetTargetPathW", reinterpret_cast<void*>(&ScriptGetTargetPath)},
    {"MsiSetPropertyW", reinterpret_cast<void*>(&ScriptSetProperty)},
    {"MsiGetFeatureStateW", reinterpret_cast<void*>(&ScriptGetFeatureState)},
};

}  // namespace

void AnswerRunMode(HMODULE library) {
    static std::set<HMODULE> answering;
    if (!answering.insert(library).second) return;
    ReplaceImports(library, kAnswers, real);
}

void SetRunMode(RunMode mode) { answered = mode; }

}  // namespace harness
