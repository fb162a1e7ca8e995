// Every function the library imports, and a way to make any one call site of
// it fail: the library's import table is patched in this process so that each
// import goes through a stand-in that records where it was called from (the
// return address into the library) and either forwards the call or returns
// the function's documented failure with a fitting last error.
//
//   bench::fault::Patch(bench::Library());
//   bench::fault::Record();  run the action;  sites = bench::fault::Sites();
//   bench::fault::Arm(sites[3].first, /*always=*/false, /*reach=*/2);  run it again; Injected() > 0
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace bench::fault {

// How a call site that is made to fail behaves.
enum class Failure {
    Never,     // left alone: no failure to give (void, pure, or the C/C++ runtime's own)
    Returns,   // returns the failure value without calling the function
    Releases,  // a close or free: done, then reported as failed (a caller cannot undo it)
};

// Per-import state shared with its stand-in.
struct Slot {
    void* real = nullptr;
    LONG_PTR value = 0;  // the failure value, as the return type holds it
    DWORD lastError = 0;
    Failure failure = Failure::Never;
    int row = -1;
};

struct Import {
    std::string dll;
    std::string name;
    void* standIn;  // null for Failure::Never
    Slot* slot;
};

// The table: one row per function the shipped library imports.
const std::vector<Import>& Imports();
// "kernel32.dll!CreateFileW": an import named as both the table and an import
// table may spell it (DLL names differ in case).
std::string ImportKey(const std::string& dll, const std::string& name);

// Points every failable import of `library` at its stand-in; once per process.
void Patch(HMODULE library);

struct Site {
    int row;     // into Imports()
    DWORD rva;   // return address, relative to the library's base
    bool operator<(const Site& other) const { return row != other.row ? row < other.row : rva < other.rva; }
    bool operator==(const Site& other) const { return row == other.row && rva == other.rva; }
};

// Forget the sites seen so far and count the reaches of each from now on.
void Record();
// The distinct sites reached since Record(), in table order, with how often.
std::vector<std::pair<Site, int>> Sites();
// Fail `site` at its `reach`-th reach from now on (1: the first), or every time.
void Arm(const Site& site, bool always, int reach = 1);
void Disarm();
// How many calls failed since the last Arm.
int Injected();
// "CreateFileW at +0x1a2b".
std::string Describe(const Site& site);

}  // namespace bench::fault
