// Reading a deferred action's CustomActionData.
#pragma once

#include <windows.h>
#include <msi.h>

#include "runtime/core/custom_action_data.h"
#include "runtime/core/errors.h"

namespace kci {

// The most characters of data read, 800 with the terminator (tests/BOUNDS.md,
// the row of kCustomActionDataChars).
inline constexpr DWORD kCustomActionDataChars = 799;

// Reads "CustomActionData" from the session and splits it (see
// SplitCustomActionData), logging the value it read. Throws an
// ErrorList holding kInvalidCustomActionDataText when the property
// cannot be read, is 800 characters or longer, or is empty; throws a single
// stp::exstring when a name/value pair is malformed.
NameValueMap ParseCustomActionData(MSIHANDLE session);

}  // namespace kci
