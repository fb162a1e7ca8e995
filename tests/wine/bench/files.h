// Files, registry keys and processes a test makes and always removes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/text.h"

namespace bench {

using namespace harness;

// A folder of the test's own, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteFile(const std::wstring& path, const std::string& bytes);
std::string ReadFile(const std::wstring& path);  // empty if missing
bool FileExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// A registry key the test creates and deletes again with all below it.
class RegistryKey {
public:
    RegistryKey(HKEY root, std::wstring path);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    RegistryKey& SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
    // Data exactly as given, for values that are not well-formed strings.
    RegistryKey& SetBytes(const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes);
    RegistryKey& SetDword(const std::wstring& name, DWORD value);

private:
    HKEY root_;
    std::wstring path_;
    HKEY key_ = nullptr;
};

// Which build of the stand-in program to copy: the 32-bit one the tests
// share, or the 64-bit one, which a 32-bit process cannot list modules of.
enum class Bitness { x86, x64 };

// A copy of the stand-in program under a chosen file name. When run, it
// appends the command line it received to "<program>.cmdline" and exits with
// the code in "<program>.exitcode" (0 when absent).
class StandIn {
public:
    StandIn(const std::wstring& folder, const std::wstring& fileName, Bitness bits = Bitness::x86);
    const std::wstring& Path() const { return path_; }
    void SetExitCode(DWORD code);
    // Every command line received so far, one per run.
    std::vector<std::wstring> CommandLines() const;

private:
    std::wstring path_;
};

// The runtime's folder below the prefix's windir, where the policy and native
// image tools are looked for: made where missing, and emptied of the
// stand-ins placed in it and removed as far as it was made, when the object goes.
class RuntimeFolder {
public:
    RuntimeFolder();
    ~RuntimeFolder();
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    StandIn Place(const std::wstring& name);

private:
    std::wstring path_;
    std::vector<std::wstring> made_, placed_;
};

// A running process with a chosen image name; ended when the object goes.
class DummyProcess {
public:
    explicit DummyProcess(const std::wstring& imageName, Bitness bits = Bitness::x86);
    ~DummyProcess();
    DummyProcess(const DummyProcess&) = delete;
    DummyProcess& operator=(const DummyProcess&) = delete;
    DWORD Id() const { return processId_; }
    void End();

private:
    TempDir folder_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

}  // namespace bench
