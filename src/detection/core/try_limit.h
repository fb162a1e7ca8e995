// The click-to-call check's own bound on its tries: in every kMaxTry-th try
// it reads the installer's "UILevel" and ends an installation without user
// interface, where no one can close the applications.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "detection/core/files_in_use_core.h"
#include "runtime/core/property_read.h"

namespace kci {


struct TryLimitOutcome {
    std::vector<std::wstring> lines;  // log lines, in order
    std::optional<unsigned> result;   // the action's result when the limit ends it
};

class TryLimit {
public:
    // Counts one more try; true when this try must read the UI level.
    bool StartTry();
    // What the UI level read in that try leads to. A level that is not a
    // number counts as 0: the installer always gives one, and the files-in-use
    // cycle's own bound still ends an installation that cannot answer.
    TryLimitOutcome AtLimit(const PropertyRead& uiLevel);

private:
    int tries_ = 0;
};

}  // namespace kci
