// Text and temp paths for programs that drive the library from outside.
#pragma once

#include <windows.h>

#include <string>

namespace harness {

// A fresh path in the temp folder; nothing is created.
std::wstring UniqueTempPath(const std::wstring& prefix, const std::wstring& suffix = L"");

std::string Narrow(const std::wstring& text);  // UTF-8
std::wstring Widen(const std::string& text);   // from UTF-8

}  // namespace harness
