#include "probes/core/version_text.h"

#include <climits>
#include <cstdint>

#include "runtime/core/format.h"

namespace kci {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// One "%d" at `pos`; on success moves `pos` past the number.
bool ScanNumber(std::wstring_view text, std::size_t& pos, int& value) {
    std::size_t at = pos;
    while (at < text.size() && IsBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at >= text.size() || !IsDigit(text[at])) return false;
    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > limit) magnitude = limit;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    pos = at;
    return true;
}

}  // namespace

ScannedVersion ScanVersion(std::wstring_view text) {
    ScannedVersion version;
    int* const numbers[] = {&version.major, &version.minor, &version.build};
    std::size_t pos = 0;
    for (int* number : numbers) {
        if (version.fields > 0) {
            if (pos >= text.size() || text[pos] != L'.') break;
            ++pos;
        }
        if (!ScanNumber(text, pos, *number)) break;
        ++version.fields;
    }
    return version;
}

std::wstring DisplayableVersion(const ScannedVersion& version) {
    const int thousands = version.build / 1000;
    const int rest = version.build - thousands * 1000;
    if (rest == 0) return Format(L"%d.%d(%d)", version.major, version.minor, thousands);
    return Format(L"%d.%d(%d.%d)", version.major, version.minor, thousands, rest);
}

}  // namespace kci
