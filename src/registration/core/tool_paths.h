// Where the registration tools are, from "windir", the system folder or the
// package. A tool is only ever started by an absolute path: run as the
// system, a tool found by search or below the current folder could be
// anybody's.
#pragma once

#include <cstddef>
#include <string>

namespace kci {

// The longest "windir" taken, 760 with the terminator; a longer value is
// refused (tests/BOUNDS.md, the "windir" rows).
inline constexpr std::size_t kWindirChars = 759;

// The tool path buffers, terminator included.
inline constexpr wchar_t kCaspolSuffix[] = L"\\Microsoft.NET\\Framework\\v2.0.50727\\Caspol.Exe";
inline constexpr std::size_t kCaspolPathChars = 1020;
inline constexpr wchar_t kNgenSuffix[] = L"\\Microsoft.NET\\Framework\\v2.0.50727\\ngen.exe";
inline constexpr std::size_t kNgenPathChars = 760;

// Why "windir" gives no tool path.
enum class WindirFault {
    None,
    TooLong,      // it does not fit its read buffer, or the whole path does not fit `pathChars`
    NotAbsolute,  // unset, empty or relative
};

struct RuntimeTool {
    WindirFault fault;
    std::wstring path;  // empty unless fault is None
};

// `windir` followed by `suffix`, terminator included in `pathChars`. Length
// is judged first, as the read buffer does.
RuntimeTool RuntimeToolPath(const std::wstring& windir, const wchar_t* suffix, std::size_t pathChars);

// A folder a tool may be taken from as a plain prefix: absolute, and ending
// in a backslash.
bool IsToolFolder(const std::wstring& folder);

// The folder the package names, used as a plain prefix: it is to end in a
// path separator (IsToolFolder), and none is added.
std::wstring HttpcfgPath(const std::wstring& folder);

// netsh.exe in the system folder.
std::wstring NetshPath(const std::wstring& systemFolder);

}  // namespace kci
