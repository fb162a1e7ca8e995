// Reading a deferred action's CustomActionData.
#pragma once

#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>

#include "runtime/core/custom_action_data.h"

namespace kci {

// The most characters of data read, 800 with the terminator (tests/BOUNDS.md,
// the row of kCustomActionDataChars).
inline constexpr DWORD kCustomActionDataChars = 799;

// Reads "CustomActionData" from the session and splits it (see
// SplitCustomActionData), logging the value it read. Nothing, after its
// lines, when the property cannot be read, is 800 characters or longer, is
// empty, or holds a malformed name/value pair; `failure`, where given, then
// receives the text the component actions report: kInvalidCustomActionDataText
// or kMalformedPairText.
std::optional<NamedValues> ParseCustomActionData(MSIHANDLE session, std::wstring* failure = nullptr);

}  // namespace kci
