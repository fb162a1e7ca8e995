#include "runtime/log.h"

#include <msiquery.h>

#include "runtime/core/log_line.h"
#include "runtime/handles.h"

namespace kci {

void WriteLogLine(MSIHANDLE session, const std::wstring& text) {
    // Cut first, then escaped: the cut counts the characters the log shows.
    const std::wstring line = EscapeForTemplate(BuildLogLine(text));
    MsiHandleGuard record(MsiCreateRecord(2));
    // The line is the record's template, which the installer formats before
    // it writes it; escaped, it comes out as built.
    MsiRecordSetStringW(record.Get(), 0, line.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_INFO, record.Get());
}

void LogFailedCall(MSIHANDLE session, const wchar_t* call, LSTATUS status) {
    LogMessage(session, L"%s returned %lu", call, static_cast<DWORD>(status));
}

void LogFailedCall(MSIHANDLE session, const wchar_t* call, const std::wstring& keyPath, LSTATUS status) {
    LogMessage(session, L"%s of %s returned %lu", call, keyPath, static_cast<DWORD>(status));
}

void ShowActionStart(MSIHANDLE session, const std::wstring& text, const wchar_t* dataTemplate) {
    kci::MsiHandleGuard record(MsiCreateRecord(dataTemplate ? 3 : 2));
    MsiRecordSetStringW(record.Get(), 2, text.c_str());
    if (dataTemplate) MsiRecordSetStringW(record.Get(), 3, dataTemplate);
    int answer = MsiProcessMessage(session, INSTALLMESSAGE_ACTIONSTART, record.Get());
    LogMessage(session, L"MsiProcessMessage(ACTIONSTART) returned %d", answer);
}

void ShowActionData(MSIHANDLE session, const std::wstring& unit) {
    kci::MsiHandleGuard record(MsiCreateRecord(1));
    MsiRecordSetStringW(record.Get(), 1, unit.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ACTIONDATA, record.Get());
}

int ShowUserMessage(MSIHANDLE session, const std::wstring& text, UINT flags) {
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    MsiRecordSetStringW(record.Get(), 0, text.c_str());
    return MsiProcessMessage(session, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER + flags), record.Get());
}

}  // namespace kci
