#include "bench/profiles_bench.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "runtime/handles.h"

namespace bench {

void CreateFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

ScratchProfiles::ScratchProfiles(Layout layout) : layout_(layout) {
    for (const wchar_t* profile : {L"Alice", L"Bob", L"All Users", L".hidden"}) CreateFolders(Root() + profile + kQuickLaunch);
    WriteFile(Root() + L"notes.txt", "not a profile");

    // A shell folder must exist for the platform to hand it out.
    struct Redirect { HKEY root; const wchar_t* name; std::wstring path; };
    std::vector<Redirect> shellFolders = {Redirect{HKEY_LOCAL_MACHINE, L"Common Desktop", CommonDesktop()},
                              Redirect{HKEY_LOCAL_MACHINE, L"Common Startup", CommonStartup()},
                              Redirect{HKEY_CURRENT_USER, L"Desktop", Me() + L"\\Desktop"},
                              Redirect{HKEY_CURRENT_USER, L"Startup", Me() + L"\\Startup"},
                              Redirect{HKEY_CURRENT_USER, L"AppData", Me() + L"\\AppData"}};
    if (layout == Layout::Older) shellFolders.push_back({HKEY_LOCAL_MACHINE, L"Common AppData", CommonAppData()});
    for (const Redirect& r : shellFolders) {
        CreateFolders(r.path);
        for (const wchar_t* key : {L"User Shell Folders", L"Shell Folders"})
            redirects_.push_back(std::make_unique<RegistryValueOverride>(
                r.root, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + key, r.name, r.path));
    }
    CreateFolders(UserQuickLaunch());
}

namespace {

std::string UnixPath(const std::wstring& path) {
    auto unixName = reinterpret_cast<char*(CDECL*)(const wchar_t*)>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) throw std::runtime_error("no Unix path for " + Narrow(path));
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix program of the host, which Wine starts like any other, and
// waits until `done` holds (its exit code does not come back).
template <class Done>
void RunUnix(const std::wstring& program, const std::string& arguments, Done done) {
    std::wstring commandLine = program + L" " + Widen(arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw std::runtime_error("cannot start " + Narrow(program));
    // Wine starts a Unix program without a process handle and leaves in
    // hThread a value that is no handle of ours: closing it closed a live key.
    if (process.hProcess != nullptr) {
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
}

bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

FolderLink::FolderLink(const std::wstring& link, const std::wstring& target) : link_(link) {
    // A link to a file shows its target's attributes, without the reparse mark.
    const bool toFile = !(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    auto planted = [&] { return IsLink(link) || (toFile && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES); };
    RunUnix(L"Z:\\bin\\ln", "-s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"", planted);
    if (!planted()) throw std::runtime_error("cannot plant a link at " + Narrow(link));
}

FolderLink::~FolderLink() {
    RunUnix(L"Z:\\bin\\rm", "-f \"" + UnixPath(link_) + "\"",
            [&] { return GetFileAttributesW(link_.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

SwapAtLine::SwapAtLine(Session& session, std::wstring line, std::wstring folder, std::wstring target)
    : session_(session) {
    const std::wstring logged = L"CUSTOM IMMEDIATE ACTION   " + line;
    session.OnMessage(INSTALLMESSAGE_INFO, [this, logged, folder, target](const Message& message) {
        if (Swapped() || renameError_ != 0 || message.fields.empty() || message.fields[0].text != logged) return;
        if (!MoveFileW(folder.c_str(), (folder + L".aside").c_str())) {
            renameError_ = GetLastError();
            return;
        }
        // Nothing may be thrown back through the installer's message call.
        try {
            link_ = std::make_unique<FolderLink>(folder, target);
        } catch (const std::exception& failure) {
            ADD_FAILURE() << failure.what();
        }
    });
}

SwapAtLine::~SwapAtLine() {
    session_.OnMessage(INSTALLMESSAGE_INFO, [](const Message&) {});
}

std::vector<std::wstring> ScratchProfiles::Profiles() const {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    const kci::UniqueHandle<kci::FindHandleTraits> find(FindFirstFileW((Root() + L"*").c_str(), &data));
    if (!find) return found;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(Root() + data.cFileName) &&
            data.cFileName[0] != L'.')
            found.push_back(Root() + data.cFileName);
    } while (FindNextFileW(find.Get(), &data));
    return found;
}

}  // namespace bench
