// Stand-in for a component installer, or a dummy process with a chosen image
// name. Copied under the name a test needs; its behaviour comes from files
// beside it, because the library fixes its arguments:
//   <program>.exitcode  the exit code, decimal or 0x-hex (0 when absent)
//   <program>.cmdline   each run appends the command line it received, in the
//                       folder KCI_STANDIN_RECORDS names where it is set
//   <program>.sleepms   how long it runs before it exits, in ms (0 when absent)
//   <program>.console   where present, each run appends its console window:
//                       "none", "hidden" or "shown"
//   <program>.store     where present, the URL reservations it keeps, a URL a
//                       line: an add of one kept exits with 183, a delete
//                       takes it out (2 when it is not kept)
// Started with "--hold" it writes <program>.ready and runs until ended.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void AppendUtf8(const std::wstring& path, const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    // Copies started side by side append to one file: wait for a turn rather than lose a line.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 500 && file == INVALID_HANDLE_VALUE; ++tries) {
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) return;
        if (file == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadWhole(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    char chunk[512];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read) text.append(chunk, read);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return text;
}

DWORD ChosenNumber(const std::wstring& path) {
    return static_cast<DWORD>(std::strtoul(ReadWhole(path).c_str(), nullptr, 0));
}

std::wstring RecordsOf(const std::wstring& self) {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"KCI_STANDIN_RECORDS", folder, MAX_PATH);
    return length && length < MAX_PATH ? folder + self.substr(self.rfind(L'\\')) : self;
}

// The reservation store of a URL tool: the line's URL added or deleted.
DWORD KeepReservation(const std::wstring& store, const std::wstring& commandLine) {
    const size_t at = commandLine.find(L"http://");
    const std::wstring url = commandLine.substr(at, commandLine.find(L' ', at) - at) + L"\n";
    std::wstring kept;
    for (char c : ReadWhole(store)) kept += static_cast<wchar_t>(c);
    const size_t found = kept.find(url);
    const bool adding = commandLine.find(L"delete urlacl") == std::wstring::npos;
    if (adding == (found != std::wstring::npos)) return adding ? ERROR_ALREADY_EXISTS : ERROR_FILE_NOT_FOUND;
    if (adding) kept += url;
    else kept.erase(found, url.size());
    DeleteFileW(store.c_str());
    AppendUtf8(store, kept);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring self = OwnPath();
    if (argc == 2 && std::wstring(argv[1]) == L"--hold") {
        AppendUtf8(self + L".ready", L"ready\n");
        for (;;) Sleep(1000);
    }
    AppendUtf8(RecordsOf(self) + L".cmdline", std::wstring(GetCommandLineW()) + L"\n");
    if (GetFileAttributesW((self + L".console").c_str()) != INVALID_FILE_ATTRIBUTES) {
        const HWND console = GetConsoleWindow();
        AppendUtf8(self + L".console", !console ? L"none\n" : IsWindowVisible(console) ? L"shown\n" : L"hidden\n");
    }
    Sleep(ChosenNumber(self + L".sleepms"));
    if (GetFileAttributesW((self + L".store").c_str()) != INVALID_FILE_ATTRIBUTES)
        ExitProcess(KeepReservation(self + L".store", GetCommandLineW()));
    ExitProcess(ChosenNumber(self + L".exitcode"));
}
