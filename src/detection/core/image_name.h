// How a process's executable name is compared with the name looked for.
#pragma once

#include <string_view>

namespace kci {

// True when the two names have the same length and agree character by
// character once the letters A to Z are folded to a to z. Only ASCII letters
// fold: file systems disagree on case rules beyond them, and image names in
// the lookup tables are ASCII. No prefix or suffix match.
bool SameImageName(std::wstring_view name, std::wstring_view target);

// The text in a fixed buffer of `capacity` characters that a platform call
// filled: up to the first null, or the whole buffer when it holds none.
std::wstring_view TextInBuffer(const wchar_t* buffer, std::size_t capacity);

// The file name at the end of a process's full image path, which may be a
// drive path or a device path (\Device\HarddiskVolume2\...\OUTLOOK.EXE):
// everything after the last backslash, or the whole path when it holds none.
std::wstring_view FileNameOfPath(std::wstring_view path);

}  // namespace kci
