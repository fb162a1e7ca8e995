// A test-only DLL, built as the shipping one is: the runtime stand-ins of
// cmake/mingw/lean_runtime.cpp, the action frame and the same flags. Its one
// action makes a standard container throw a length error.
#include <windows.h>
#include <msi.h>

#include <vector>

#include "runtime/action_frame.h"

extern "C" UINT __stdcall ThrowLengthError(MSIHANDLE session) {
    return kci::RunAction(session, L"ThrowLengthError", kci::ModuleContext::Open, [&] {
        std::vector<int> values;
        values.reserve(values.max_size() + 1);
        return ERROR_SUCCESS;
    });
}
