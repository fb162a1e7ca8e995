// Any product version and any count text: the scan reads at most three
// numbers, the displayable text always has its parenthesis, and a count is
// never negative.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probes/core/failure_count.h"
#include "probes/core/version_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    const kci::ScannedVersion version = kci::ScanVersion(text);
    if (version.fields < 0 || version.fields > 3) __builtin_trap();
    const std::wstring shown = kci::DisplayableVersion(version);
    if (shown.find(L'(') == std::wstring::npos || shown.back() != L')') __builtin_trap();
    if (kci::FailureCountFromText(text) < 0) __builtin_trap();
    return 0;
}
