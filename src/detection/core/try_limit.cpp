#include "detection/core/try_limit.h"

#include "runtime/core/decimal.h"
#include "runtime/core/format.h"

namespace kci {

bool TryLimit::StartTry() {
    // A failed read lets the count pass the limit, which is then never met
    // again in this call; it stops there rather than count on for ever.
    if (tries_ <= kMaxTry) ++tries_;
    return tries_ == kMaxTry;
}

TryLimitOutcome TryLimit::AtLimit(const PropertyRead& uiLevel) {
    TryLimitOutcome outcome;
    outcome.lines.push_back(Format(L"Number of tries reached to MAX_TRY=%d", kMaxTry));
    if (uiLevel.result != 0) {
        outcome.lines.push_back(Format(L"Invalid 'UILevel' property, result = %d", uiLevel.result));
        return outcome;
    }
    const Decimal level = ReadDecimal(uiLevel.value);
    outcome.lines.push_back(Format(L"UILevel: '%s'\n", uiLevel.value));
    // Kept, "sscanf" though none runs: packages search for it (TryLimit.TheTenthTryReadsTheUiLevel).
    outcome.lines.push_back(
        Format(L"sscanf returned result = %d, UILevel=%d as integer", level.read ? 1 : 0, level.value));
    if (level.read && level.value == kUiLevelNone) {
        outcome.lines.emplace_back(L"Terminate the install since MAX_TRY is reached at a silent install.");
        outcome.result = kResultUserExit;
        return outcome;
    }
    // Kept, "UILevel=0" whatever the level: packages search the log for it (TryLimit.TheTenthTryReadsTheUiLevel).
    outcome.lines.emplace_back(L"Reset the number of retries to 0 since UILevel=0");
    tries_ = 0;
    return outcome;
}

}  // namespace kci
