// The library object and the per-action module context.
#pragma once

#include <windows.h>

namespace kci {

// Lives from the library's load to its unload. It creates the message
// catalogue bound to the library's module and the activation context built
// from the library's own manifest.
class CKorviCustomImmediateApp {
public:
    CKorviCustomImmediateApp() = default;
    virtual ~CKorviCustomImmediateApp() = default;
    CKorviCustomImmediateApp(const CKorviCustomImmediateApp&) = delete;
    CKorviCustomImmediateApp& operator=(const CKorviCustomImmediateApp&) = delete;

    // True exactly when the catalogue could be created.
    virtual BOOL InitInstance(HMODULE module);
    virtual int ExitInstance();
};

// A function of an already loaded system DLL, looked up at run time so that
// the library still loads on hosts whose DLL lacks it; null when absent.
template <class Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

// Opened first in an action: activates the library's own activation context
// where the host supports one and the library has one, and deactivates it
// when the action leaves, only if it activated it.
class ModuleContextGuard {
public:
    ModuleContextGuard();
    ~ModuleContextGuard();
    ModuleContextGuard(const ModuleContextGuard&) = delete;
    ModuleContextGuard& operator=(const ModuleContextGuard&) = delete;

    bool Activated() const { return activated_; }

private:
    bool activated_ = false;
    ULONG_PTR cookie_ = 0;
};

}  // namespace kci
