#include "runtime/property.h"

#include <msiquery.h>

#include <vector>

#include "runtime/log.h"

namespace kci {

namespace {

using Reader = UINT(WINAPI*)(MSIHANDLE, LPCWSTR, LPWSTR, LPDWORD);

PropertyRead ReadInto(Reader reader, MSIHANDLE session, const wchar_t* name, DWORD textChars) {
    // The installer is given the text and its terminator; one more, so the
    // text always ends in the buffer.
    std::vector<wchar_t> buffer(textChars + 2, L'\0');
    DWORD count = textChars + 1;
    PropertyRead read;
    read.result = reader(session, name, buffer.data(), &count);
    read.value = buffer.data();
    read.length = count;
    return read;
}

}  // namespace

PropertyRead ReadProperty(MSIHANDLE session, const wchar_t* name, DWORD textChars) {
    return ReadInto(MsiGetPropertyW, session, name, textChars);
}

PropertyRead ReadTargetPath(MSIHANDLE session, const wchar_t* name, DWORD textChars) {
    return ReadInto(MsiGetTargetPathW, session, name, textChars);
}

void SetProperty(MSIHANDLE session, const wchar_t* name, const wchar_t* value) {
    const UINT result = MsiSetPropertyW(session, name, value);
    if (result != ERROR_SUCCESS) LogMessage(session, L"MsiSetProperty failed for %s: %u", name, result);
}

bool RunsFromScript(MSIHANDLE session) {
    return MsiGetMode(session, MSIRUNMODE_SCHEDULED) || MsiGetMode(session, MSIRUNMODE_ROLLBACK) ||
           MsiGetMode(session, MSIRUNMODE_COMMIT);
}

bool RunsAtCommit(MSIHANDLE session) { return MsiGetMode(session, MSIRUNMODE_COMMIT) != FALSE; }

}  // namespace kci
