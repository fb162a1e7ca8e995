#include "runtime/custom_action_data.h"

#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

std::optional<NamedValues> ParseCustomActionData(MSIHANDLE session, std::wstring* failure) {
    LogMessage(session, L"Entering ParseCustomActionData");

    // A value too long for the buffer is refused (ERROR_MORE_DATA), never cut.
    const kci::PropertyRead read = kci::ReadProperty(session, L"CustomActionData", kci::kCustomActionDataChars);
    if (read.result != ERROR_SUCCESS || read.value.empty()) {
        LogMessage(session, L"%s", kci::kInvalidCustomActionDataText);
        LogMessage(session, L"result = %d", static_cast<int>(read.result));
        if (failure) *failure = kci::kInvalidCustomActionDataText;
        return std::nullopt;
    }
    const std::wstring& text = read.value;
    LogMessage(session, L"'CustomActionData' contains the following value: '%s'", text);

    std::optional<NamedValues> pairs = kci::SplitCustomActionData(text);
    if (!pairs) {
        LogMessage(session, L"%s", kci::kMalformedPairText);
        if (failure) *failure = kci::kMalformedPairText;
        return std::nullopt;
    }
    LogMessage(session, L"Exiting ParseCustomActionData");
    return pairs;
}

}  // namespace kci
