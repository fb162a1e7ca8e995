// Copies of the stand-in program, placed where the actions look for the
// programs they start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

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

}  // namespace bench
