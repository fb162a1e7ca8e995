#include "probes/core/failure_count.h"

#include <climits>

namespace kci {

int FailureCountFromText(std::wstring_view text) {
    long long count = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') break;
        count = count * 10 + (c - L'0');
        if (count > INT_MAX) count = INT_MAX;
    }
    return static_cast<int>(count);
}

int ResultForFailureCount(int count) {
    // No more items (skip the rest, as success), user exit, install suspended
    // and function not called.
    for (int misread : {259, 1602, 1604, 1626})
        if (count == misread) return kCountFailsInstall;
    return count;
}

}  // namespace kci
