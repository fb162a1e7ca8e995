// The text of the one error message a component action shows at the end of
// a run that gathered failures.
#pragma once

#include <string>

#include "runtime/core/errors.h"

namespace kci {

// The header, a line end, "   - " and the text of each entry with nothing
// between entries (an entry that ends in a line end ends its line), a line
// end, and the footer.
std::wstring ErrorReportText(const std::wstring& header, const kci::ErrorList& errors, const std::wstring& footer);

}  // namespace kci
