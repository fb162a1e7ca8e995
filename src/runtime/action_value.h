// The one way an action reads a value it is given by name: from the session
// in an immediate form, from CustomActionData in a script form.
#pragma once

#include <windows.h>
#include <msi.h>

#include <cstddef>
#include <optional>
#include <string>

#include "runtime/core/custom_action_data.h"

namespace kci {

// Where an immediate form reads a value: a property, or a directory's target path.
enum class SessionValue { Property, TargetPath };

struct ActionValue {
    std::optional<std::wstring> value;  // nothing when the read failed
    unsigned result = ERROR_SUCCESS;    // the immediate form's installer result; 0 in a script form
};

// The values of one run of an action. An immediate form (see RunsFromScript)
// reads the property or target path into a buffer of `maxChars` characters and
// logs nothing: a failed read, a longer value included, gives nothing and the
// installer's result. A script form reads CustomActionData under the same
// name, parsed with the parser's lines at the first read, and logs each read's
// line (see LookUpScriptValue); nothing where that line says "no usable".
class ActionValues {
public:
    explicit ActionValues(MSIHANDLE session);
    bool FromScript() const { return fromScript_; }
    ActionValue Read(const wchar_t* name, std::size_t maxChars, ValueKind kind = ValueKind::Text,
                     SessionValue from = SessionValue::Property);

private:
    MSIHANDLE session_;
    bool fromScript_;
    bool parsed_ = false;
    std::optional<NamedValues> pairs_;  // nothing when the data did not parse
};

}  // namespace kci
