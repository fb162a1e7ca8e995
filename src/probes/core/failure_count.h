// The precertification program's failure count, stored as decimal text.
#pragma once

#include <string_view>

namespace kci {

// The number the text's leading digits spell; 0 when it starts with anything
// else. A count beyond the 32-bit signed range is held at its top.
int FailureCountFromText(std::wstring_view text);

}  // namespace kci
