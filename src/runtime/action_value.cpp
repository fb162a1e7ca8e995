#include "runtime/action_value.h"

#include "runtime/custom_action_data.h"
#include "runtime/log.h"
#include "runtime/property.h"

namespace kci {

ActionValues::ActionValues(MSIHANDLE session) : session_(session), fromScript_(RunsFromScript(session)) {}

ActionValue ActionValues::Read(const wchar_t* name, std::size_t maxChars, ValueKind kind, SessionValue from) {
    if (!fromScript_) {
        const DWORD chars = static_cast<DWORD>(maxChars);
        PropertyRead read = from == SessionValue::TargetPath ? ReadTargetPath(session_, name, chars)
                                                             : ReadProperty(session_, name, chars);
        if (read.result != ERROR_SUCCESS) return {std::nullopt, read.result};
        return {std::move(read.value), ERROR_SUCCESS};
    }
    if (!parsed_) {
        parsed_ = true;
        pairs_ = ParseCustomActionData(session_);
    }
    ScriptValue read = LookUpScriptValue(pairs_ ? &*pairs_ : nullptr, name, maxChars, kind);
    LogMessage(session_, L"%s", read.line);
    return {std::move(read.value), ERROR_SUCCESS};
}

}  // namespace kci
