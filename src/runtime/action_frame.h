// The one frame every exported action runs in. It opens the module context
// where the action takes it, and it is the last stop for any exception: none
// may unwind into the installer, which calls the action across a C boundary.
//
//   extern "C" UINT __stdcall SetRtmxPath(MSIHANDLE session) {
//       return kci::RunAction(session, L"SetRtmxPath", kci::ModuleContext::Open, [&] { ... });
//   }
//
// Actions are defined inside namespace kci like everything else; C linkage
// keeps their exported names free of it.
#pragma once

#include <windows.h>
#include <msi.h>

#include <optional>

#include "runtime/library.h"

namespace kci {

enum class ModuleContext { Open, None };

// Logs "Unexpected failure in <action>: <what is known>" for the exception in
// flight and gives ERROR_INSTALL_FAILURE. Call only from a catch handler.
UINT ReportUnexpectedFailure(MSIHANDLE session, const wchar_t* action) noexcept;

template <class Body>
UINT RunAction(MSIHANDLE session, const wchar_t* action, ModuleContext context, Body&& body) noexcept {
    try {
        std::optional<ModuleContextGuard> guard;
        if (context == ModuleContext::Open) guard.emplace();
        return body();
    } catch (...) {
        return ReportUnexpectedFailure(session, action);
    }
}

}  // namespace kci
