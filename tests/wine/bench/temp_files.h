// Folders and files a test makes and always removes.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace bench
