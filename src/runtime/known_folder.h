// The platform's known folders, each looked up the one way the library does.
#pragma once

#include <windows.h>

#include <string>

namespace kci {

struct KnownFolder {
    HRESULT result;
    std::wstring path;  // what the lookup wrote, on failure too (it may hold a path then)
};

// SHGetFolderPathW for `csidl` (no window, no token, the current path) into a
// cleared buffer of the path limit (kPathChars and the terminator).
KnownFolder GetKnownFolder(int csidl);

}  // namespace kci
