// The text a package gives a deferred action, split into names and values.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kci {

// Logged, and reported, when CustomActionData cannot be read.
inline constexpr wchar_t kInvalidCustomActionDataText[] = L"Invalid 'CustomActionData' property\n";

// Ordered by the standard comparison of wide strings, so names are
// case-sensitive. Looking up an absent name with [] gives the empty value.
using NameValueMap = std::map<std::wstring, std::wstring>;

// The pairs in the order the text gives them, a repeated name as often as it
// is given.
using NamedValues = std::vector<std::pair<std::wstring, std::wstring>>;

inline constexpr wchar_t kCustomActionDataSeparator = L'|';
inline constexpr wchar_t kMalformedPairText[] = L"Invalid name/value pair - no value found...";

// Splits "name|value|name|value..." at every bar. Names and values are taken
// as they stand (blanks kept, either may be empty); the last value runs to the
// end of the text. Nothing when a name has no bar after it, that is whenever
// the text holds an even number of bars (none included).
std::optional<NamedValues> SplitCustomActionData(const std::wstring& text);

// The pairs as the component install actions look them up: a repeated name
// keeps its first value.
NameValueMap FirstValues(const NamedValues& pairs);

// What a script form's value must be to be usable: any text, or a folder or
// program path that is absolute (see IsAbsolutePath).
enum class ValueKind { Text, Path };

// A value an action's script form takes from CustomActionData, under the name
// its immediate form reads from the installation, and the line it logs in
// place of that read's: "CustomActionData says <name> is <value>", or
// "CustomActionData has no usable <name>" when the data did not parse
// (`pairs` null), lacks the name, gives it twice, holds more than `maxChars`
// characters under it, or, for a path, holds one that is not absolute.
struct ScriptValue {
    std::optional<std::wstring> value;
    std::wstring line;
};
ScriptValue LookUpScriptValue(const NamedValues* pairs, const std::wstring& name, std::size_t maxChars,
                              ValueKind kind);

}  // namespace kci
