// The Cancel-button actions, for the one action that also calls one itself.
#pragma once

#include <windows.h>
#include <msi.h>

namespace kci {

extern "C" UINT __stdcall EnableCancel(MSIHANDLE session);

}  // namespace kci
