#include "runtime/core/custom_action_data.h"

#include "runtime/core/errors.h"

namespace kci {

NameValueMap SplitCustomActionData(const std::wstring& text) {
    NameValueMap pairs;
    std::wstring::size_type position = 0;
    for (;;) {
        const auto nameEnd = text.find(kCustomActionDataSeparator, position);
        if (nameEnd == std::wstring::npos) throw stp::exstring(kMalformedPairText);
        const auto valueEnd = text.find(kCustomActionDataSeparator, nameEnd + 1);
        const auto valueLength = valueEnd == std::wstring::npos ? std::wstring::npos : valueEnd - nameEnd - 1;
        // emplace keeps the value already stored under a repeated name.
        pairs.emplace(text.substr(position, nameEnd - position), text.substr(nameEnd + 1, valueLength));
        if (valueEnd == std::wstring::npos) return pairs;
        position = valueEnd + 1;
    }
}

ScriptValue LookUpScriptValue(const NameValueMap* pairs, const std::wstring& name, std::size_t maxChars) {
    const auto found = pairs ? pairs->find(name) : NameValueMap::const_iterator();
    if (!pairs || found == pairs->end() || found->second.size() > maxChars)
        return {std::nullopt, L"CustomActionData has no usable " + name};
    return {found->second, L"CustomActionData says " + name + L" is " + found->second};
}

}  // namespace kci
