#include "runtime/custom_action_data.h"

#include <msiquery.h>

#include "runtime/log.h"

kci::NameValueMap ParseCustomActionData(MSIHANDLE session) {
    LogMessage(session, L"Entering ParseCustomActionData");

    wchar_t buffer[kci::kCustomActionDataBufferChars] = {};
    DWORD count = kci::kCustomActionDataBufferChars;
    // A value too long for the buffer is refused (ERROR_MORE_DATA), never cut.
    const UINT result = MsiGetPropertyW(session, L"CustomActionData", buffer, &count);
    if (result != ERROR_SUCCESS || buffer[0] == L'\0') {
        LogMessage(session, L"%s", kci::kInvalidCustomActionDataText);
        LogMessage(session, L"result = %d", result);
        throw stp::ErrorList{stp::exstring(kci::kInvalidCustomActionDataText)};
    }
    const std::wstring text = buffer;
    LogMessage(session, L"'CustomActionData' contains the following value: '%s'", text);

    kci::NameValueMap pairs;
    try {
        pairs = kci::SplitCustomActionData(text);
    } catch (const stp::exstring& malformed) {
        LogMessage(session, L"%s", malformed);
        throw;
    }
    LogMessage(session, L"Exiting ParseCustomActionData");
    return pairs;
}
