// Paths and command lines for programs the library starts.
#pragma once

#include <string>
#include <string_view>

namespace kci {

// `program` followed by `switches`, with the program path in double quotes
// unless it already starts with one. Without quotes the platform would try
// every shorter prefix of a path with blanks first ("C:\Media Drivers\x.exe"
// starts "C:\Media.exe" when that exists). An empty path stays empty: there
// is no program to protect, and the line fails to start as it is.
std::wstring ProgramCommandLine(std::wstring_view program, std::wstring_view switches);

// `folder` and `name` joined with exactly one backslash: one is added unless
// the folder already ends with it, also when the folder is empty.
std::wstring JoinPath(std::wstring folder, std::wstring_view name);

// A path that names one place whatever the current drive and folder: a drive
// letter, a colon and a backslash ("C:\"), or two backslashes
// ("\\server\share"). "C:", "C:foo", "\foo" and "foo" are not absolute.
bool IsAbsolutePath(std::wstring_view path);

// Whether the program a command line starts is named by an absolute path: the
// quoted part of a line that starts with a double quote, else the line up to
// its first blank. Anything else would be looked for along the search path or
// below the current drive and folder.
bool StartsAbsoluteProgram(std::wstring_view commandLine);

}  // namespace kci
