// The library's load and unload.
#include <windows.h>

#include "runtime/library.h"

namespace kci {

namespace {
CKorviCustomImmediateApp theApp;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return theApp.InitInstance(instance);
        case DLL_PROCESS_DETACH:
            theApp.ExitInstance();
            return TRUE;
        default:
            return TRUE;
    }
}

}  // namespace kci
