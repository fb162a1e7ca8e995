// The one error message that shows every failure of a component action's run.
#pragma once

#include <windows.h>
#include <msi.h>

#include "runtime/catalogue.h"
#include "runtime/core/errors.h"

namespace kci {

// Sends the gathered error texts as one installer error message (template
// "[1]", the report in field 1), framed by catalogue texts 6 and 7 in
// `language`. The installer's answer is not read: the action goes on.
void ShowErrorReport(MSIHANDLE session, const ErrorList& errors, TextLanguage language = TextLanguage::Package);

}  // namespace kci
