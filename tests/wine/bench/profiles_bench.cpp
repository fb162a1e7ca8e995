#include "bench/profiles_bench.h"

#include <gtest/gtest.h>

namespace bench {

void CreateFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

ScratchProfiles::ScratchProfiles() {
    for (const wchar_t* profile : {L"Alice", L"Bob", L"All Users", L".hidden"}) CreateFolders(Root() + profile + kQuickLaunch);
    WriteFile(Root() + L"notes.txt", "not a profile");

    // A shell folder must exist for the platform to hand it out.
    struct Redirect { HKEY root; const wchar_t* name; std::wstring path; };
    for (const Redirect& r : {Redirect{HKEY_LOCAL_MACHINE, L"Common AppData", CommonAppData()},
                              Redirect{HKEY_LOCAL_MACHINE, L"Common Desktop", CommonDesktop()},
                              Redirect{HKEY_LOCAL_MACHINE, L"Common Startup", CommonStartup()},
                              Redirect{HKEY_CURRENT_USER, L"Desktop", Me() + L"\\Desktop"},
                              Redirect{HKEY_CURRENT_USER, L"Startup", Me() + L"\\Startup"},
                              Redirect{HKEY_CURRENT_USER, L"AppData", Me() + L"\\AppData"}}) {
        CreateFolders(r.path);
        for (const wchar_t* key : {L"User Shell Folders", L"Shell Folders"})
            redirects_.push_back(std::make_unique<RegistryValueOverride>(
                r.root, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + key, r.name, r.path));
    }
    CreateFolders(UserQuickLaunch());
}

std::vector<std::wstring> ScratchProfiles::Profiles() const {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Root() + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != L'.')
            found.push_back(Root() + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

void ExpectLog(const Lines& log, const Lines& expected) {
    const size_t common = std::min(log.size(), expected.size());
    for (size_t i = 0; i < common; ++i) {
        const std::wstring& want = expected[i];
        const bool prefix = !want.empty() && want.back() == L'*';
        const bool same = prefix ? log[i].compare(0, want.size() - 1, want, 0, want.size() - 1) == 0 : log[i] == want;
        EXPECT_TRUE(same) << "line " << i << ": got \"" << Narrow(log[i]) << "\", expected \"" << Narrow(want) << "\"";
        if (!same) return;
    }
    EXPECT_EQ(log.size(), expected.size()) << "first extra line: "
                                           << Narrow(log.size() > common ? log[common] : expected[common]);
}

}  // namespace bench
