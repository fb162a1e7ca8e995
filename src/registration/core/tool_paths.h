// Where the registration tools are, from "windir" or from the package.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kci {

// "windir" is read into a buffer of this many characters, terminator
// included: a value of kWindirChars characters or more is refused.
inline constexpr std::size_t kWindirChars = 760;

inline constexpr wchar_t kCaspolSuffix[] = L"\\Microsoft.NET\\Framework\\v2.0.50727\\Caspol.Exe";
inline constexpr std::size_t kCaspolPathChars = 1020;
inline constexpr wchar_t kNgenSuffix[] = L"\\Microsoft.NET\\Framework\\v2.0.50727\\ngen.exe";
inline constexpr std::size_t kNgenPathChars = 760;

// `windir` followed by `suffix`, or nothing when `windir` does not fit its
// read buffer or the whole path does not fit `pathChars` characters,
// terminator included. An empty `windir` (unset) gives the suffix alone.
std::optional<std::wstring> RuntimeToolPath(const std::wstring& windir, const wchar_t* suffix, std::size_t pathChars);

// The folder the package names, used as a plain prefix: it is to end in a
// path separator, and none is added.
std::wstring HttpcfgPath(const std::wstring& folder);

}  // namespace kci
