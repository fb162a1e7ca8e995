#include "probes/core/failure_count.h"

#include "runtime/core/decimal.h"

namespace kci {

int FailureCountFromText(std::wstring_view text) {
    return ReadDecimal(text, 0, {DecimalStart::DigitsOnly, DecimalOverflow::Clamped}).value;
}

namespace {

// The results the installer reads as something other than a failure.
enum MisreadResult : int {
    kNoMoreItems = 259,          // skip the rest, as success
    kInstallUserExit = 1602,
    kInstallSuspend = 1604,
    kFunctionNotCalled = 1626,
};

}  // namespace

int ResultForFailureCount(int count) {
    for (int misread : {kNoMoreItems, kInstallUserExit, kInstallSuspend, kFunctionNotCalled})
        if (count == misread) return kCountFailsInstall;
    return count;
}

}  // namespace kci
