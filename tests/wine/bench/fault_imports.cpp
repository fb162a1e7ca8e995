// Every import's declaration, those of newer systems too, for its stand-in's type.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601

#include "bench/fault_imports.h"

#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <oleauto.h>
#include <powrprof.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "bench/standard_user.h"
#include "harness/pe_image.h"
#include "harness/run_mode.h"

namespace bench::fault {
namespace {

enum class Step { Forward, Fail, ReleaseThenFail };

struct State {
    std::mutex lock;
    DWORD_PTR base = 0;
    bool recording = false;
    std::map<Site, int> reaches;
    bool armed = false, always = false;
    Site target{-1, 0};
    int reach = 0, reached = 0;  // which reach of the target fails; how many came
    int injected = 0;
} state;

Step Reach(const Slot& slot, void* returnAddress) {
    const Site site{slot.row, static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(returnAddress) - state.base)};
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.recording) ++state.reaches[site];
    if (!state.armed || !(site == state.target)) return Step::Forward;
    if (!state.always && ++state.reached != state.reach) return Step::Forward;
    if (!state.always) state.armed = false;
    ++state.injected;
    return slot.failure == Failure::Releases ? Step::ReleaseThenFail : Step::Fail;
}

// One stand-in per import, with the import's own type, so that it takes the
// same arguments off the stack (stdcall) as the function it stands for.
template <class F, int N>
struct Hook;
template <class R, class... A, int N>
struct Hook<R(WINAPI*)(A...), N> {
    static Slot slot;
    static R WINAPI Call(A... args) {
        using Real = R(WINAPI*)(A...);
        const DWORD error = GetLastError();
        const Step step = Reach(slot, __builtin_return_address(0));
        SetLastError(error);
        if (step == Step::Forward) return reinterpret_cast<Real>(slot.real)(args...);
        if (step == Step::ReleaseThenFail) reinterpret_cast<Real>(slot.real)(args...);
        SetLastError(slot.lastError);
        if constexpr (std::is_pointer_v<R>)
            return reinterpret_cast<R>(slot.value);
        else
            return static_cast<R>(slot.value);
    }
};
template <class R, class... A, int N>
Slot Hook<R(WINAPI*)(A...), N>::slot;

template <class F, int N>
Import Row(const char* dll, const char* name, Failure failure, LONG_PTR value, DWORD lastError) {
    Slot& slot = Hook<F, N>::slot;
    slot.value = value;
    slot.lastError = lastError;
    slot.failure = failure;
    return {dll, name, reinterpret_cast<void*>(&Hook<F, N>::Call), &slot};
}

#define FAILS(dll, fn, value, error) \
    Row<decltype(&::fn), __COUNTER__>(dll, #fn, Failure::Returns, (LONG_PTR)(value), error)
#define RELEASES(dll, fn, value, error) \
    Row<decltype(&::fn), __COUNTER__>(dll, #fn, Failure::Releases, (LONG_PTR)(value), error)

constexpr LONG kAccessDenied = static_cast<LONG>(0xC0000022);  // STATUS_ACCESS_DENIED

// Imports the library's own code calls, with the failure each documents.
std::vector<Import> FailableImports() {
    return {
        FAILS("advapi32.dll", RegOpenKeyExW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegQueryValueExW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegQueryInfoKeyW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegEnumKeyExW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegEnumValueW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegSetValueExW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegCreateKeyExW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegDeleteValueW, ERROR_ACCESS_DENIED, 0),
        FAILS("advapi32.dll", RegDeleteKeyW, ERROR_ACCESS_DENIED, 0),
        RELEASES("advapi32.dll", RegCloseKey, ERROR_INVALID_HANDLE, 0),
        FAILS("kernel32.dll", CreateFileW, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", CreateProcessW, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", CreateDirectoryW, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", ReadFile, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", WriteFile, FALSE, ERROR_DISK_FULL),
        FAILS("kernel32.dll", SetEndOfFile, FALSE, ERROR_DISK_FULL),
        FAILS("kernel32.dll", GetFullPathNameW, 0, ERROR_FILENAME_EXCED_RANGE),
        FAILS("kernel32.dll", GetLongPathNameW, 0, ERROR_FILE_NOT_FOUND),
        FAILS("kernel32.dll", GetFileInformationByHandle, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", GetFileInformationByHandleEx, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", GetFinalPathNameByHandleW, 0, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", SetFileInformationByHandle, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", FindFirstFileW, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", FindNextFileW, FALSE, ERROR_ACCESS_DENIED),
        RELEASES("kernel32.dll", FindClose, FALSE, ERROR_INVALID_HANDLE),
        RELEASES("kernel32.dll", CloseHandle, FALSE, ERROR_INVALID_HANDLE),
        FAILS("kernel32.dll", GetFileAttributesW, INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", FormatMessageW, 0, ERROR_MR_MID_NOT_FOUND),
        FAILS("kernel32.dll", GetEnvironmentVariableW, 0, ERROR_ENVVAR_NOT_FOUND),
        FAILS("kernel32.dll", GetSystemDirectoryW, 0, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", GetModuleFileNameW, 0, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", GetModuleHandleW, NULL, ERROR_MOD_NOT_FOUND),
        FAILS("kernel32.dll", GetProcAddress, NULL, ERROR_PROC_NOT_FOUND),
        FAILS("kernel32.dll", GetExitCodeProcess, FALSE, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", OpenProcess, NULL, ERROR_ACCESS_DENIED),
        FAILS("kernel32.dll", WaitForSingleObject, WAIT_FAILED, ERROR_INVALID_HANDLE),
        FAILS("kernel32.dll", FindResourceExW, NULL, ERROR_RESOURCE_NAME_NOT_FOUND),
        FAILS("kernel32.dll", LoadResource, NULL, ERROR_NOT_ENOUGH_MEMORY),
        FAILS("kernel32.dll", LockResource, NULL, ERROR_NOT_ENOUGH_MEMORY),
        FAILS("kernel32.dll", SizeofResource, 0, ERROR_RESOURCE_DATA_NOT_FOUND),
        FAILS("msi.dll", MsiGetPropertyW, ERROR_INVALID_HANDLE, 0),
        FAILS("msi.dll", MsiGetTargetPathW, ERROR_DIRECTORY, 0),
        FAILS("msi.dll", MsiGetFeatureStateW, ERROR_UNKNOWN_FEATURE, 0),
        FAILS("msi.dll", MsiQueryProductStateW, INSTALLSTATE_INVALIDARG, 0),
        FAILS("msi.dll", MsiGetMode, FALSE, 0),
        FAILS("msi.dll", MsiSetPropertyW, ERROR_FUNCTION_FAILED, 0),
        FAILS("msi.dll", MsiSetMode, ERROR_ACCESS_DENIED, 0),
        FAILS("msi.dll", MsiCreateRecord, 0, 0),
        FAILS("msi.dll", MsiRecordSetStringW, ERROR_INVALID_HANDLE, 0),
        FAILS("msi.dll", MsiRecordSetInteger, ERROR_INVALID_HANDLE, 0),
        FAILS("msi.dll", MsiProcessMessage, -1, 0),
        RELEASES("msi.dll", MsiCloseHandle, ERROR_INVALID_HANDLE, 0),
        FAILS("ole32.dll", CoInitializeEx, E_FAIL, 0),
        FAILS("ole32.dll", CoInitializeSecurity, E_FAIL, 0),
        FAILS("ole32.dll", CoCreateInstance, E_FAIL, 0),
        FAILS("ole32.dll", CoQueryProxyBlanket, E_FAIL, 0),
        FAILS("ole32.dll", CoSetProxyBlanket, E_FAIL, 0),
        FAILS("oleaut32.dll", SysAllocStringLen, NULL, 0),
        FAILS("oleaut32.dll", VariantChangeType, E_FAIL, 0),
        RELEASES("oleaut32.dll", VariantClear, E_FAIL, 0),
        FAILS("powrprof.dll", CallNtPowerInformation, kAccessDenied, 0),
        FAILS("psapi.dll", EnumProcesses, FALSE, ERROR_ACCESS_DENIED),
        FAILS("psapi.dll", EnumProcessModules, FALSE, ERROR_ACCESS_DENIED),
        FAILS("psapi.dll", GetModuleBaseNameW, 0, ERROR_ACCESS_DENIED),
        FAILS("shell32.dll", SHGetFolderPathW, E_FAIL, 0),
        FAILS("shell32.dll", ShellExecuteExW, FALSE, ERROR_ACCESS_DENIED),
        FAILS("shlwapi.dll", SHDeleteKeyW, ERROR_ACCESS_DENIED, 0),
        FAILS("user32.dll", FindWindowW, NULL, ERROR_ACCESS_DENIED),
        FAILS("user32.dll", GetFocus, NULL, 0),
        FAILS("user32.dll", MessageBoxW, 0, ERROR_ACCESS_DENIED),
    };
}

// Imports no failure is given to: void or pure calls of the library's own
// code, and the C runtime, thread emulation and unwinder linked into it.
const char* const kNeverFailed[][2] = {
    {"advapi32.dll", "CryptAcquireContextA CryptGenRandom CryptReleaseContext"},
    {"kernel32.dll",
     "DeleteCriticalSection EnterCriticalSection FlsAlloc FlsFree FlsGetValue FlsSetValue FreeLibrary "
     "GetLastError GetModuleHandleA InitializeCriticalSection LeaveCriticalSection LoadLibraryA "
     "GetTickCount SetLastError Sleep TlsGetValue VirtualProtect VirtualQuery"},
    {"msvcrt.dll",
     "_amsg_exit _exit _initterm _iob _lock _unlock abort calloc free fwrite malloc memcpy "
     "memmove memset realloc strcmp strlen strncmp vfprintf wcslen _write _open _close"},
    {"ole32.dll", "CoUninitialize"},
    {"oleaut32.dll", "SysFreeString SysStringLen VariantInit"},
};

}  // namespace

std::string ImportKey(const std::string& dll, const std::string& name) {
    std::string key = dll;
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return key + "!" + name;
}

const std::vector<Import>& Imports() {
    static const std::vector<Import> imports = [] {
        std::vector<Import> rows = FailableImports();
        for (const auto& group : kNeverFailed) {
            std::istringstream words(group[1]);
            for (std::string word; words >> word;) rows.push_back({group[0], word, nullptr, nullptr});
        }
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].slot) rows[i].slot->row = static_cast<int>(i);
        return rows;
    }();
    return imports;
}

void Patch(HMODULE library) {
    static bool patched = false;
    if (patched) return;
    patched = true;
    state.base = reinterpret_cast<DWORD_PTR>(library);
    // The run-mode answer and the standard user's refusals lie under the
    // stand-ins, which the library then calls itself.
    harness::AnswerRunMode(library);
    AnswerAsStandardUser(library);
    const auto& imports = Imports();
    harness::ForEachImport(library, [&](const std::string& dll, const std::string& name, void** entry) {
        for (const Import& row : imports) {
            if (!row.standIn || ImportKey(row.dll, row.name) != ImportKey(dll, name)) continue;
            row.slot->real = harness::ReplaceImport(entry, row.standIn);
        }
    });
}

void Record() {
    std::lock_guard<std::mutex> hold(state.lock);
    state.reaches.clear();
    state.recording = true;
}

std::vector<std::pair<Site, int>> Sites() {
    std::lock_guard<std::mutex> hold(state.lock);
    return {state.reaches.begin(), state.reaches.end()};
}

void Arm(const Site& site, bool always, int reach) {
    std::lock_guard<std::mutex> hold(state.lock);
    state.recording = false;
    state.target = site;
    state.armed = true;
    state.always = always;
    state.reach = reach;
    state.reached = 0;
    state.injected = 0;
}

void Disarm() {
    std::lock_guard<std::mutex> hold(state.lock);
    state.armed = false;
}

int Injected() {
    std::lock_guard<std::mutex> hold(state.lock);
    return state.injected;
}

std::string Describe(const Site& site) {
    char text[160];
    snprintf(text, sizeof text, "%s at +0x%lx", Imports()[site.row].name.c_str(), static_cast<unsigned long>(site.rva));
    return text;
}

}  // namespace bench::fault
