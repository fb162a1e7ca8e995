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

// Puts `text` into the installer's progress display and logs the answer.
void ShowActionStart(MSIHANDLE session, const std::wstring& text);

// A message box through the installer; returns the button chosen, 0 when the
// installer took no action and -1 on error.
int ShowUserMessage(MSIHANDLE session, const std::wstring& text, UINT flags);

}  // namespace kci
