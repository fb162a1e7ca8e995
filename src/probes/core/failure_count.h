// The precertification program's failure count, stored as decimal text.
#pragma once

#include <string_view>

namespace kci {

// The number the text's leading digits spell; 0 when it starts with anything
// else. A count beyond the 32-bit signed range is held at its top.
int FailureCountFromText(std::wstring_view text);

// The action's result for a count: the count itself, except for the counts
// the installer would read as success or as a cancel (259, 1602, 1604,
// 1626), which give 1603 so that they still fail the installation.
inline constexpr int kCountFailsInstall = 1603;
int ResultForFailureCount(int count);

}  // namespace kci
