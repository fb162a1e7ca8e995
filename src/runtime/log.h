// The installer log and the two other ways the library speaks through the
// installer: action-start lines and user messages.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "runtime/core/format.h"

namespace kci {

// Writes one finished line of text to the installer log, prefixed and cut to
// the log line buffer.
void WriteLogLine(MSIHANDLE session, const std::wstring& text);

// One call, one installer log line: "CUSTOM IMMEDIATE ACTION   " and the text
// formatted printf-style (see core/format.h). Arguments are never interpreted
// as formats themselves.
template <class... Args>
void LogMessage(MSIHANDLE session, const wchar_t* format, const Args&... args) {
    WriteLogLine(session, Format(format, args...));
}

// A failing system call as "<call> returned <result>". Kept for the calls
// that log it so today: packages read those lines as they are.
void LogFailedCall(MSIHANDLE session, const wchar_t* call, LSTATUS status);

// A failing registry call and the key it was made on, as "<call> of <key>
// returned <result>": the form for new lines.
void LogFailedCall(MSIHANDLE session, const wchar_t* call, const std::wstring& keyPath, LSTATUS status);

// Puts `text` into the installer's progress display and logs the answer.
void ShowActionStart(MSIHANDLE session, const std::wstring& text);

// A message box through the installer; returns the button chosen, 0 when the
// installer took no action and -1 on error.
int ShowUserMessage(MSIHANDLE session, const std::wstring& text, UINT flags);

}  // namespace kci
