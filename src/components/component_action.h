// The one run that every component install and uninstall action shares.
#pragma once

#include <windows.h>
#include <msi.h>

#include "components/core/component_table.h"

namespace kci {

// Runs `action`'s program and reads its exit code: a reboot where the code
// asks for one, and every failure shown in one error report. Returns
// ERROR_SUCCESS on every path: a component never stops the installation.
UINT RunComponentAction(MSIHANDLE session, const ComponentAction& action);

}  // namespace kci
