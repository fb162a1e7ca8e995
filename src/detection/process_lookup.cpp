#include "detection/process_lookup.h"

#include <psapi.h>

#include "detection/core/image_name.h"
#include "runtime/core/text_limits.h"
#include "runtime/handles.h"
#include "runtime/library.h"
#include "runtime/log.h"

namespace kci {

const Application FindKORVI =
    Application().Entry(L"Entering FindKORVI").Image(L"TenvorPelago.exe").Shown(kTextPelago).OrWindow();
// The newer product's record name keeps its upper-case extension.
const Application FindDRAVO =
    Application().Entry(L"Entering FindDRAVO").Image(L"Meridia.exe").RecordedAs(L"Meridia.EXE").Shown(kTextMeridia);
const Application FindFENWA = Application().Entry(L"Entering FindFENWA").Image(L"FENWA9.exe").Shown(kTextChorale);
const Application FindMOC = Application()
                                .Entry(L"Entering Find Microsoft Office Communicator")
                                .Image(L"communicator.exe")
                                .Shown(kTextCommunicator);
const Application FindOutlook =
    Application().Entry(L"Entering FindOutlook").Image(L"OUTLOOK.EXE").Shown(kTextOutlook);
const Application FindWORD = Application().Entry(L"Entering FindWORD").Image(L"winword.exe").Shown(kTextWord);
const Application FindEXCEL = Application().Entry(L"Entering FindEXCEL").Image(L"excel.exe").Shown(kTextExcel);
const Application FindFIREFOX =
    Application().Entry(L"Entering FindFIREFOX").Image(L"firefox.exe").Shown(kTextFirefox);
const Application FindIE =
    Application().Entry(L"Entering FindIE").Image(L"iexplore.exe").Shown(kTextInternetExplorer);

namespace {

// The platform's limits (tests/BOUNDS.md, the row of both).
constexpr DWORD kMaxProcesses = 4096;
constexpr DWORD kNameChars = kPathChars + 1;
const wchar_t kFallbackWindowTitle[] = L"Meridia";

// Room for an image path well past the path limit; a longer one is not read.
constexpr DWORD kImagePathChars = 1024;

// Image path readers that work across bitness, looked up at run time: the
// first arrived with Vista, the second with XP, and the library still loads
// on hosts that lack both.
using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using GetProcessImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);

// The full image path of an open process, or nothing when it cannot be read.
std::wstring ImagePath(HANDLE process) {
    wchar_t path[kImagePathChars] = {};
    if (auto query = SystemFunction<QueryFullProcessImageNameFn>(L"kernel32.dll", "QueryFullProcessImageNameW")) {
        DWORD length = kImagePathChars;
        if (query(process, 0, path, &length) && length < kImagePathChars) return std::wstring(path, length);
    }
    if (auto read = SystemFunction<GetProcessImageFileNameFn>(L"psapi.dll", "GetProcessImageFileNameW")) {
        const DWORD length = read(process, path, kImagePathChars);
        if (length > 0 && length < kImagePathChars) return std::wstring(path, length);
    }
    return std::wstring();
}

// The executable name of an open process into `name`. A 32-bit process cannot
// list a 64-bit process's modules, so where that fails the name is cut from
// the process's image path instead; false only when neither can be read.
bool ReadImageName(MSIHANDLE session, HANDLE process, wchar_t (&name)[kNameChars]) {
    // The first module is the executable itself.
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &module, sizeof(module), &needed)) {
        GetModuleBaseNameW(process, module, name, kNameChars);  // leaves "unknown" where it writes nothing
        return true;
    }
    LogMessage(session, L"Failed to EnumProcessModules");
    const std::wstring path = ImagePath(process);
    const std::wstring_view file = FileNameOfPath(path);
    if (file.empty() || file.size() >= kNameChars) return false;
    file.copy(name, file.size());
    name[file.size()] = L'\0';
    return true;
}

// The executable name of process `id` compared with `target`. A process that
// cannot be read is logged and compares as "unknown".
bool ProcessHasImageName(MSIHANDLE session, DWORD id, const std::wstring& target) {
    wchar_t name[kNameChars] = L"unknown";
    ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process) {
        LogMessage(session, L"Failed to OpenProcess");
        return false;
    }
    if (!ReadImageName(session, process.Get(), name)) return false;
    std::wstring_view read = TextInBuffer(name, kNameChars);
    if (!SameImageName(read, target)) return false;
    LogMessage(session, L"This is a match: process %s", read);
    return true;
}

// One walk of the process list, stopping at the first match.
bool ProcessListHas(MSIHANDLE session, const std::wstring& target) {
    DWORD ids[kMaxProcesses] = {};
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof(ids), &bytes)) {
        LogMessage(session, L"EnumProcesses failed");
        return false;
    }
    const DWORD count = bytes / sizeof(DWORD);
    // Kept as spelt: packages search the log for it (DetectLookup.NoMatchLogsEveryUnreadableProcessAndOneEnding).
    LogMessage(session, L"Found %d processses", static_cast<int>(count));
    for (DWORD i = 0; i < count; ++i)
        if (ProcessHasImageName(session, ids[i], target)) return true;
    LogMessage(session, L"No matches in enumerated processes!");
    return false;
}

}  // namespace

bool IsRunning(MSIHANDLE session, const Application& application) {
    LogMessage(session, L"%s", application.entryLine);
    if (ProcessListHas(session, application.imageName)) return true;
    if (!application.windowFallback) return false;
    LogMessage(session, L"Checking KORVI via window handle");
    return FindWindowW(nullptr, kFallbackWindowTitle) != nullptr;
}

bool FindRunningProcessByName(MSIHANDLE session, const std::wstring& imageName) {
    LogMessage(session, L"Entering FindRunningProcessByName");
    LogMessage(session, L"Find %s", imageName);
    return ProcessListHas(session, imageName);
}

}  // namespace kci
