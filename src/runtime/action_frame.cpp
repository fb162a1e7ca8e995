#include "runtime/action_frame.h"

#include <exception>

#include "runtime/core/unexpected.h"
#include "runtime/log.h"

namespace kci {

UINT ReportUnexpectedFailure(MSIHANDLE session, const wchar_t* action) noexcept {
    try {
        LogMessage(session, L"Unexpected failure in %s: %s", action, DescribeException(std::current_exception()));
    } catch (...) {
        // Out of memory even for the log line: the result still tells the installer.
    }
    return ERROR_INSTALL_FAILURE;
}

}  // namespace kci
