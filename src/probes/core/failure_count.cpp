#include "probes/core/failure_count.h"

#include "runtime/core/decimal.h"

namespace kci {

int FailureCountFromText(std::wstring_view text) {
    return ReadDecimal(text, 0, {DecimalStart::DigitsOnly, DecimalOverflow::Clamped}).value;
}

int ResultForFailureCount(int count) {
    // No more items (skip the rest, as success), user exit, install suspended
    // and function not called.
    for (int misread : {259, 1602, 1604, 1626})
        if (count == misread) return kCountFailsInstall;
    return count;
}

}  // namespace kci
