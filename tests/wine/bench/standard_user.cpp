#include "bench/standard_user.h"

#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <map>
#include <set>
#include <string>

#include "harness/library.h"
#include "harness/pe_image.h"

namespace bench {
namespace {

// ---- the rules, one row each with its reason ----

// Folders a filtered token reads but may not change: opening for write,
// append or delete, creating and deleting are refused at and below them.
const struct {
    int csidl;             // the folder, or 0 for `variable`'s
    const wchar_t* variable;
    const wchar_t* below;  // joined to it
    const char* reason;
} kMachineFolders[] = {
    {CSIDL_WINDOWS, nullptr, L"", "the Windows folder belongs to the system"},
    {CSIDL_PROGRAM_FILES, nullptr, L"", "installed programs (the 32-bit Program Files here)"},
    {0, L"ProgramW6432", L"", "installed 64-bit programs"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, L"", "the public desktop is every user's"},
    {CSIDL_COMMON_STARTMENU, nullptr, L"", "the common start menu, its Programs included"},
    {CSIDL_COMMON_STARTUP, nullptr, L"", "the common Startup folder (found apart, it may be redirected)"},
    {CSIDL_COMMON_APPDATA, nullptr, L"\\Microsoft", "ProgramData's Microsoft folders"},
};
// And every other user's profile: a folder below a profiles root (the one
// holding the user's own profile, and the older layout's, two up from the
// common application-data folder) that is not the user's own profile.

// Key rights that change a key or what is below it (KEY_WRITE and
// KEY_ALL_ACCESS hold them, and so do the generic write rights).
constexpr REGSAM kKeyWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// File rights that write, append, delete or change attributes.
constexpr DWORD kFileWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE |
                                   FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | WRITE_DAC | WRITE_OWNER;

constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, which mingw's headers here lack

// ---- state ----

struct State {
    bool on = false;
    std::set<std::wstring> elevating;  // upper case
    std::map<std::string, void*> real;
} state;

template <class F>
F Real(const char* name) { return reinterpret_cast<F>(state.real.at(name)); }

std::wstring Upper(std::wstring text) {
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool Under(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() < folder.size()) return false;
    const std::wstring head = Upper(path.substr(0, folder.size())), base = Upper(folder);
    return head == base && (path.size() == folder.size() || path[folder.size()] == L'\\' || base.back() == L'\\');
}

// ---- registry ----

// The full path of each key the library opened, by handle, and of the roots.
std::wstring OwnHive() {
    HANDLE token = nullptr;
    BYTE buffer[256];
    DWORD bytes = 0;
    wchar_t* sid = nullptr;
    std::wstring hive;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &bytes) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
        hive = L"\\REGISTRY\\USER\\" + std::wstring(sid);
    if (sid) LocalFree(sid);
    if (token) CloseHandle(token);
    return hive;
}

std::map<HKEY, std::wstring>& KeyPaths() {
    static std::map<HKEY, std::wstring> paths = {
        {HKEY_LOCAL_MACHINE, L"\\REGISTRY\\MACHINE"},
        {HKEY_CLASSES_ROOT, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"},
        {HKEY_USERS, L"\\REGISTRY\\USER"},
        {HKEY_CURRENT_USER, OwnHive()},
    };
    return paths;
}

std::wstring KeyName(HKEY key, const wchar_t* subKey) {
    const auto known = KeyPaths().find(key);
    std::wstring path = known == KeyPaths().end() ? L"" : known->second;
    if (subKey && *subKey) path += L"\\" + std::wstring(subKey);
    return path;
}

LSTATUS Opened(LSTATUS status, HKEY key, const wchar_t* subKey, PHKEY result) {
    if (status == ERROR_SUCCESS && result) KeyPaths()[*result] = KeyName(key, subKey);
    return status;
}

// The machine's keys and other users' hives; the user's own hive passes.
bool MachineKey(HKEY key, const wchar_t* subKey) {
    const std::wstring own = KeyPaths()[HKEY_CURRENT_USER], path = KeyName(key, subKey);
    if (Under(path, L"\\REGISTRY\\MACHINE")) return true;
    return Under(path, L"\\REGISTRY\\USER") && !Under(path, own) && !Under(path, own + L"_Classes");
}

// Windows checks access on the key itself: one that is not there gives 2.
bool KeyThere(HKEY key, LPCWSTR subKey, REGSAM access) {
    HKEY existing = nullptr;
    const REGSAM view = access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    const bool there = RegOpenKeyExW(key, subKey, 0, KEY_QUERY_VALUE | view, &existing) == ERROR_SUCCESS;
    if (existing) RegCloseKey(existing);
    return there;
}

LSTATUS WINAPI OpenKey(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    if (state.on && (access & kKeyWriteRights) && MachineKey(key, subKey) && KeyThere(key, subKey, access))
        return ERROR_ACCESS_DENIED;
    return Opened(Real<decltype(&RegOpenKeyExW)>("RegOpenKeyExW")(key, subKey, options, access, result), key, subKey,
                  result);
}

LSTATUS WINAPI CreateKey(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                         const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    if (state.on && MachineKey(key, subKey) && (!KeyThere(key, subKey, access) || (access & kKeyWriteRights)))
        return ERROR_ACCESS_DENIED;
    return Opened(Real<decltype(&RegCreateKeyExW)>("RegCreateKeyExW")(key, subKey, reserved, keyClass, options,
                                                                      access, security, result, disposition),
                  key, subKey, result);
}

LSTATUS WINAPI DeleteKey(HKEY key, LPCWSTR subKey) {
    if (state.on && MachineKey(key, subKey) && KeyThere(key, subKey, 0)) return ERROR_ACCESS_DENIED;
    return Real<decltype(&RegDeleteKeyW)>("RegDeleteKeyW")(key, subKey);
}

LSTATUS WINAPI DeleteTree(HKEY key, LPCWSTR subKey) {
    if (state.on && MachineKey(key, subKey) && KeyThere(key, subKey, 0)) return ERROR_ACCESS_DENIED;
    return Real<decltype(&SHDeleteKeyW)>("SHDeleteKeyW")(key, subKey);
}

// ---- files ----

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) == S_OK ? path : L"";
}

std::wstring Parent(const std::wstring& path) {
    const size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? L"" : path.substr(0, cut);
}

// `path` whole and in its long form, as far as it exists.
std::wstring LongPath(const wchar_t* given) {
    std::wstring path = given;
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    wchar_t full[32768];
    if (!GetFullPathNameW(path.c_str(), 32768, full, nullptr)) return path;
    std::wstring rest, head = full;
    while (!head.empty() && !GetLongPathNameW(head.c_str(), full, 32768)) {
        rest = head.substr(Parent(head).size()) + rest;
        head = Parent(head);
    }
    return head.empty() ? rest : full + rest;
}

bool MachineFile(const wchar_t* given) {
    const std::wstring path = LongPath(given);
    for (const auto& row : kMachineFolders) {
        wchar_t value[MAX_PATH] = {};
        const std::wstring folder = row.csidl ? Folder(row.csidl)
                                    : GetEnvironmentVariableW(row.variable, value, MAX_PATH) ? value : L"";
        if (!folder.empty() && Under(path, folder + row.below)) return true;
    }
    const std::wstring own = Folder(CSIDL_PROFILE), commonData = Folder(CSIDL_COMMON_APPDATA);
    for (const std::wstring& root : {Parent(own), Parent(Parent(commonData))})
        if (root.size() > 3 && Under(path, root) && Upper(path) != Upper(root) && !(Under(own, root) && Under(path, own)))
            return true;
    return false;
}

HANDLE WINAPI OpenFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                       DWORD flags, HANDLE templateFile) {
    // A file that is not there gives 2 unless the open creates it.
    const bool there = GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES;
    const bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    const bool writes = disposition == TRUNCATE_EXISTING || (access & kFileWriteRights);
    if (state.on && ((creates && !there) || (there && (writes || creates))) && MachineFile(name)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Real<decltype(&CreateFileW)>("CreateFileW")(name, access, share, security, disposition, flags,
                                                       templateFile);
}

BOOL WINAPI MakeFolder(LPCWSTR name, LPSECURITY_ATTRIBUTES security) {
    if (state.on && MachineFile(name)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return Real<decltype(&CreateDirectoryW)>("CreateDirectoryW")(name, security);
}

// ---- processes ----

// The program a command line starts: the application name, or its first word.
std::wstring ImageName(LPCWSTR application, LPCWSTR commandLine) {
    std::wstring program = application ? application : commandLine ? commandLine : L"";
    if (!application && !program.empty()) {
        const bool quoted = program[0] == L'"';
        program = program.substr(quoted, program.find(quoted ? L'"' : L' ', quoted) - quoted);
    }
    return Upper(program.substr(program.find_last_of(L"\\/") + 1));
}

BOOL WINAPI StartProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                         LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags, LPVOID environment,
                         LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process) {
    if (state.on && state.elevating.count(ImageName(application, commandLine))) {
        SetLastError(kElevationRequired);
        return FALSE;
    }
    return Real<decltype(&CreateProcessW)>("CreateProcessW")(application, commandLine, processSecurity, threadSecurity,
                                                             inherit, flags, environment, folder, startup, process);
}

const std::map<std::string, void*> kRules = {
    {"RegOpenKeyExW", reinterpret_cast<void*>(&OpenKey)},
    {"RegCreateKeyExW", reinterpret_cast<void*>(&CreateKey)},
    {"RegDeleteKeyW", reinterpret_cast<void*>(&DeleteKey)},
    {"SHDeleteKeyW", reinterpret_cast<void*>(&DeleteTree)},
    {"CreateFileW", reinterpret_cast<void*>(&OpenFile)},
    {"CreateDirectoryW", reinterpret_cast<void*>(&MakeFolder)},
    {"CreateProcessW", reinterpret_cast<void*>(&StartProcess)},
};

}  // namespace

void AnswerAsStandardUser(HMODULE library) {
    static std::set<HMODULE> answering;
    if (!answering.insert(library).second) return;
    harness::ReplaceImports(library, kRules, state.real);
}

StandardUser::StandardUser(std::set<std::wstring> elevating) {
    AnswerAsStandardUser(harness::Library());
    state.elevating.clear();
    for (const std::wstring& name : elevating) state.elevating.insert(Upper(name));
    state.on = true;
}

StandardUser::~StandardUser() { state.on = false; }

}  // namespace bench
