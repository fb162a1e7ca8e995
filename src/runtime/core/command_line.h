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

// The program a command line starts, as the line names it: the quoted part of
// a line that starts with a double quote (the rest of the line when the quote
// is not closed), else the line up to its first blank.
std::wstring_view ProgramOf(std::wstring_view commandLine);

// Whether the program a command line starts (ProgramOf) is named by an
// absolute path, and a quoted one is closed. Anything else would be looked
// for along the search path or below the current drive and folder.
bool StartsAbsoluteProgram(std::wstring_view commandLine);

}  // namespace kci
