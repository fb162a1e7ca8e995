// Reading a deferred action's CustomActionData.
#pragma once

#include <windows.h>
#include <msi.h>

#include <cstddef>
#include <optional>
#include <string>

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

// The values of an action's script form, read from CustomActionData under the
// names its immediate form reads from the installation. The data is parsed,
// with the parser's lines, at the first read; each read logs its line (see
// LookUpScriptValue) and gives nothing where the immediate form's read would
// have failed.
class ScriptValues {
public:
    explicit ScriptValues(MSIHANDLE session) : session_(session) {}
    std::optional<std::wstring> Read(const wchar_t* name, std::size_t maxChars);

private:
    MSIHANDLE session_;
    bool parsed_ = false;
    std::optional<NameValueMap> pairs_;  // nothing when the data did not parse
};

}  // namespace kci
