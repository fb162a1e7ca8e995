#include "bench/files.h"

#include <shlwapi.h>

#include <stdexcept>

#include "harness/library.h"

namespace bench {

TempDir::TempDir() : path_(UniqueTempPath(L"kcidir")) {
    if (!CreateDirectoryW(path_.c_str(), nullptr)) throw std::runtime_error("cannot create temp folder");
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + Narrow(path));
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

RegistryKey::RegistryKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create key " + Narrow(path_));
}

RegistryKey::~RegistryKey() {
    RegCloseKey(key_);
    SHDeleteKeyW(root_, path_.c_str());
}

RegistryKey& RegistryKey::SetString(const std::wstring& name, const std::wstring& value, DWORD type) {
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(value.c_str()),
                            reinterpret_cast<const BYTE*>(value.c_str() + value.size() + 1));
    return SetBytes(name, type, bytes);
}

RegistryKey& RegistryKey::SetBytes(const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes) {
    RegSetValueExW(key_, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    return *this;
}

RegistryKey& RegistryKey::SetDword(const std::wstring& name, DWORD value) {
    RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return *this;
}

StandIn::StandIn(const std::wstring& folder, const std::wstring& fileName, Bitness bits)
    : path_(folder + L"\\" + fileName) {
    const wchar_t* build = bits == Bitness::x64 ? L"\\kci_standin64.exe" : L"\\kci_standin.exe";
    if (!CopyFileW((BuildFolder() + build).c_str(), path_.c_str(), FALSE))
        throw std::runtime_error("cannot copy the stand-in to " + Narrow(path_));
}

void StandIn::SetExitCode(DWORD code) { WriteFile(path_ + L".exitcode", std::to_string(code)); }

std::vector<std::wstring> StandIn::CommandLines() const {
    std::wstring all = Widen(ReadFile(path_ + L".cmdline"));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    return lines;
}

RuntimeFolder::RuntimeFolder() {
    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    path_ = windir;
    for (const wchar_t* part : {L"\\Microsoft.NET", L"\\Framework", L"\\v2.0.50727"})
        if (CreateDirectoryW((path_ += part).c_str(), nullptr)) made_.push_back(path_);
}

RuntimeFolder::~RuntimeFolder() {
    for (const auto& name : placed_)
        for (const wchar_t* suffix : {L"", L".cmdline", L".exitcode"}) DeleteFileW((path_ + L"\\" + name + suffix).c_str());
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryW(it->c_str());
}

StandIn RuntimeFolder::Place(const std::wstring& name) {
    placed_.push_back(name);
    return StandIn(path_, name);
}

DummyProcess::DummyProcess(const std::wstring& imageName, Bitness bits) {
    StandIn program(folder_.Path(), imageName, bits);
    std::wstring ready = program.Path() + L".ready";
    std::wstring commandLine = L"\"" + program.Path() + L"\" --hold";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw std::runtime_error("cannot start " + Narrow(imageName));
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    // The program says when it is up, so that its modules can be listed.
    for (int i = 0; i < 1000 && !FileExists(ready); ++i) Sleep(10);
    if (!FileExists(ready)) {
        End();
        throw std::runtime_error(Narrow(imageName) + " did not start within 10 s");
    }
}

DummyProcess::~DummyProcess() { End(); }

void DummyProcess::End() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
    process_ = nullptr;
}

}  // namespace bench
