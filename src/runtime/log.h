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

// The template an action start gives the action data that follow it when the
// package has none for the action: the unit alone.
inline constexpr wchar_t kUnitAloneTemplate[] = L"[1]";

// Puts `text` into the installer's progress display and logs the answer.
// With `dataTemplate`, the action data that follow are shown through it;
// without, through the package's template for the action, if any.
void ShowActionStart(MSIHANDLE session, const std::wstring& text, const wchar_t* dataTemplate = nullptr);

// One action-data message, just before a unit of work: `unit` in field 1 and
// field 0 empty, so that the installer shows it through the action's
// template. Whatever the installer answers changes nothing and is not logged:
// the unit is done either way, a Cancel included.
void ShowActionData(MSIHANDLE session, const std::wstring& unit);

// A message box through the installer; returns the button chosen, 0 when the
// installer took no action and -1 on error.
int ShowUserMessage(MSIHANDLE session, const std::wstring& text, UINT flags);

}  // namespace kci
