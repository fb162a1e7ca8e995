#include "runtime/core/custom_action_data.h"

#include <algorithm>

#include "runtime/core/command_line.h"

namespace kci {

std::optional<NamedValues> SplitCustomActionData(const std::wstring& text) {
    NamedValues pairs;
    std::wstring::size_type position = 0;
    for (;;) {
        const auto nameEnd = text.find(kCustomActionDataSeparator, position);
        if (nameEnd == std::wstring::npos) return std::nullopt;
        const auto valueEnd = text.find(kCustomActionDataSeparator, nameEnd + 1);
        const auto valueLength = valueEnd == std::wstring::npos ? std::wstring::npos : valueEnd - nameEnd - 1;
        pairs.emplace_back(text.substr(position, nameEnd - position), text.substr(nameEnd + 1, valueLength));
        if (valueEnd == std::wstring::npos) return pairs;
        position = valueEnd + 1;
    }
}

NameValueMap FirstValues(const NamedValues& pairs) {
    // emplace keeps the value already stored under a repeated name.
    NameValueMap map;
    for (const auto& pair : pairs) map.emplace(pair);
    return map;
}

ScriptValue LookUpScriptValue(const NamedValues* pairs, const std::wstring& name, std::size_t maxChars,
                              ValueKind kind) {
    const auto named = [&](const auto& pair) { return pair.first == name; };
    // A name given twice cannot say which value was meant: a flag's value may
    // carry "|INSTALLDIR|..." of its own.
    const bool once = pairs && std::count_if(pairs->begin(), pairs->end(), named) == 1;
    const auto found = once ? std::find_if(pairs->begin(), pairs->end(), named) : NamedValues::const_iterator();
    if (!once || found->second.size() > maxChars || (kind == ValueKind::Path && !IsAbsolutePath(found->second)))
        return {std::nullopt, L"CustomActionData has no usable " + name};
    return {found->second, L"CustomActionData says " + name + L" is " + found->second};
}

}  // namespace kci
