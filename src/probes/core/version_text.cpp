#include "probes/core/version_text.h"

#include "runtime/core/decimal.h"
#include "runtime/core/format.h"

namespace kci {

ScannedVersion ScanVersion(std::wstring_view text) {
    ScannedVersion version;
    int* const numbers[] = {&version.major, &version.minor, &version.build};
    std::size_t pos = 0;
    for (int* number : numbers) {
        if (version.fields > 0) {
            if (pos >= text.size() || text[pos] != L'.') break;
            ++pos;
        }
        const Decimal scanned = ReadDecimal(text, pos, {DecimalStart::BlanksAndSign, DecimalOverflow::Clamped});
        if (!scanned.read) break;
        *number = scanned.value;
        pos = scanned.end;
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
