// What the component action tests share: the stand-in programs' folder, the
// error report as the user sees it, and target paths.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace bench {

// The one error message a component action shows: header, "   - " and each
// entry, footer.
std::wstring ComponentReport(std::initializer_list<std::wstring> entries);

// Asserts (gtest) that the session received exactly one error message, sent as
// the bare error type with template "[1]" and `text` in field 1.
void ExpectOneReport(const Session& session, const std::wstring& text);

// Points a directory at `path`; the session must have been costed.
void SetTargetPath(const Session& session, const std::wstring& directory, const std::wstring& path);

// "0x" and the code in lower-case hexadecimal, as the actions log it.
std::wstring Hex(DWORD code);

// Where among all recorded messages the first log line `line` (prefix left
// out) and the first message of `kind` stand; -1 when there is none.
int IndexOfLogLine(const Session& session, const std::wstring& line);
int IndexOfKind(const Session& session, UINT kind);

// Sets one string value of an existing key, for example a folder of the
// platform's, and puts the old value back (or removes it) when it goes.
class RegistryValueOverride {
public:
    RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
    // Data of any type, exactly as given.
    RegistryValueOverride(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                          const std::vector<BYTE>& data);
    ~RegistryValueOverride();
    RegistryValueOverride(const RegistryValueOverride&) = delete;
    RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

private:
    HKEY key_ = nullptr;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> old_;
};

}  // namespace bench
