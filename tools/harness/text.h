// Text, temp paths and call checks for programs that drive the library from outside.
#pragma once

#include <windows.h>

#include <string>

namespace harness {

// A fresh path in the temp folder; nothing is created.
std::wstring UniqueTempPath(const std::wstring& prefix, const std::wstring& suffix = L"");

std::string Narrow(const std::wstring& text);  // UTF-8
std::wstring Widen(const std::string& text);   // from UTF-8

// Throws when an installer call did not succeed, naming the call and its result.
void Check(UINT result, const char* what);

}  // namespace harness
