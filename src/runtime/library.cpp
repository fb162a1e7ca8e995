#include "runtime/library.h"

#include <new>

#include "runtime/catalogue.h"

namespace {

// Activation contexts arrived with Windows XP. They are looked up at run time
// so that the library still loads on hosts that have none.
using CreateActCtxFn = HANDLE(WINAPI*)(const ACTCTXW*);
using ActivateActCtxFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR*);
using DeactivateActCtxFn = BOOL(WINAPI*)(DWORD, ULONG_PTR);
using ReleaseActCtxFn = void(WINAPI*)(HANDLE);

struct ActivationApi {
    CreateActCtxFn create = nullptr;
    ActivateActCtxFn activate = nullptr;
    DeactivateActCtxFn deactivate = nullptr;
    ReleaseActCtxFn release = nullptr;

    bool Available() const { return create && activate && deactivate && release; }
};

template <class Fn>
Fn Lookup(HMODULE kernel, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

const ActivationApi& Activation() {
    static const ActivationApi api = [] {
        ActivationApi a;
        if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
            a.create = Lookup<CreateActCtxFn>(kernel, "CreateActCtxW");
            a.activate = Lookup<ActivateActCtxFn>(kernel, "ActivateActCtx");
            a.deactivate = Lookup<DeactivateActCtxFn>(kernel, "DeactivateActCtx");
            a.release = Lookup<ReleaseActCtxFn>(kernel, "ReleaseActCtx");
        }
        return a;
    }();
    return api;
}

// The activation context made from the library's isolation-aware manifest
// resource; INVALID_HANDLE_VALUE when there is none.
HANDLE g_moduleContext = INVALID_HANDLE_VALUE;

HANDLE CreateModuleContext(HMODULE module) {
    const ActivationApi& api = Activation();
    if (!api.Available()) return INVALID_HANDLE_VALUE;
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID
    return api.create(&request);
}

}  // namespace

BOOL CKorviCustomImmediateApp::InitInstance(HMODULE module) {
    g_moduleContext = CreateModuleContext(module);
    CLocal* catalogue = new (std::nothrow) CLocal(module);
    kci::SetCatalogue(catalogue);
    return catalogue != nullptr;
}

int CKorviCustomImmediateApp::ExitInstance() {
    delete kci::Catalogue();
    kci::SetCatalogue(nullptr);
    if (g_moduleContext != INVALID_HANDLE_VALUE) Activation().release(g_moduleContext);
    g_moduleContext = INVALID_HANDLE_VALUE;
    return 0;
}

namespace kci {

ModuleContextGuard::ModuleContextGuard() {
    if (g_moduleContext != INVALID_HANDLE_VALUE)
        activated_ = Activation().activate(g_moduleContext, &cookie_) != FALSE;
}

ModuleContextGuard::~ModuleContextGuard() {
    if (activated_) Activation().deactivate(0, cookie_);
}

}  // namespace kci
