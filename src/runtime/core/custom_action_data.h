// The text a package gives a deferred action, split into names and values.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace kci {

// Logged, and reported, when CustomActionData cannot be read.
inline constexpr wchar_t kInvalidCustomActionDataText[] = L"Invalid 'CustomActionData' property\n";

// Ordered by the standard comparison of wide strings, so names are
// case-sensitive. Looking up an absent name with [] gives the empty value.
using NameValueMap = std::map<std::wstring, std::wstring>;

inline constexpr wchar_t kCustomActionDataSeparator = L'|';
inline constexpr wchar_t kMalformedPairText[] = L"Invalid name/value pair - no value found...";

// Splits "name|value|name|value..." at every bar. Names and values are taken
// as they stand (blanks kept, either may be empty); the last value runs to the
// end of the text, and a repeated name keeps its first value.
// Throws stp::exstring(kMalformedPairText) when a name has no bar after it,
// that is whenever the text holds an even number of bars (none included);
// nothing of the map is returned then.
NameValueMap SplitCustomActionData(const std::wstring& text);

// A value an action's script form takes from CustomActionData, under the name
// its immediate form reads from the installation, and the line it logs in
// place of that read's: "CustomActionData says <name> is <value>", or
// "CustomActionData has no usable <name>" when the data did not parse
// (`pairs` null), lacks the name, or holds more than `maxChars` characters
// under it, a read the immediate form would have failed.
struct ScriptValue {
    std::optional<std::wstring> value;
    std::wstring line;
};
ScriptValue LookUpScriptValue(const NameValueMap* pairs, const std::wstring& name, std::size_t maxChars);

}  // namespace kci
