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

}  // namespace kci
