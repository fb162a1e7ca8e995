#include "runtime/custom_action_data.h"

#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

kci::NameValueMap ParseCustomActionData(MSIHANDLE session) {
    LogMessage(session, L"Entering ParseCustomActionData");

    // A value too long for the buffer is refused (ERROR_MORE_DATA), never cut.
    const kci::PropertyRead read = kci::ReadProperty(session, L"CustomActionData", kci::kCustomActionDataChars);
    if (read.result != ERROR_SUCCESS || read.value.empty()) {
        LogMessage(session, L"%s", kci::kInvalidCustomActionDataText);
        LogMessage(session, L"result = %d", static_cast<int>(read.result));
        throw kci::ErrorList{stp::exstring(kci::kInvalidCustomActionDataText)};
    }
    const std::wstring& text = read.value;
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

std::optional<std::wstring> ScriptValues::Read(const wchar_t* name, std::size_t maxChars) {
    if (!parsed_) {
        parsed_ = true;
        // The parser has logged why it failed; the read fails after it.
        try {
            pairs_ = ParseCustomActionData(session_);
        } catch (const kci::ErrorList&) {
        } catch (const stp::exstring&) {
        }
    }
    ScriptValue read = LookUpScriptValue(pairs_ ? &*pairs_ : nullptr, name, maxChars);
    LogMessage(session_, L"%s", read.line);
    return std::move(read.value);
}

}  // namespace kci
