#include "runtime/library.h"

#include <new>

#include "runtime/catalogue.h"
#include "runtime/core/text_limits.h"

namespace kci {
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

// Looked up when the library loads; a plain global rather than a
// function-local static, whose guarded initialisation needs thread-local
// storage that older hosts do not give a library loaded at run time.
ActivationApi g_activation;

ActivationApi LookupActivationApi() {
    ActivationApi a;
    a.create = kci::SystemFunction<CreateActCtxFn>(L"kernel32.dll", "CreateActCtxW");
    a.activate = kci::SystemFunction<ActivateActCtxFn>(L"kernel32.dll", "ActivateActCtx");
    a.deactivate = kci::SystemFunction<DeactivateActCtxFn>(L"kernel32.dll", "DeactivateActCtx");
    a.release = kci::SystemFunction<ReleaseActCtxFn>(L"kernel32.dll", "ReleaseActCtx");
    return a;
}

// The activation context made from the library's isolation-aware manifest
// resource; INVALID_HANDLE_VALUE when there is none.
HANDLE g_moduleContext = INVALID_HANDLE_VALUE;

HANDLE CreateModuleContext(HMODULE module) {
    if (!g_activation.Available()) return INVALID_HANDLE_VALUE;
    wchar_t path[kPathChars + 1] = {};
    const DWORD length = GetModuleFileNameW(module, path, kPathChars + 1);
    if (length == 0 || length > kPathChars) return INVALID_HANDLE_VALUE;  // no context rather than a cut path
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path;
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID
    return g_activation.create(&request);
}

}  // namespace

BOOL CKorviCustomImmediateApp::InitInstance(HMODULE module) {
    g_activation = LookupActivationApi();
    g_moduleContext = CreateModuleContext(module);
    CLocal* catalogue = new (std::nothrow) CLocal(module);
    kci::SetCatalogue(catalogue);
    return catalogue != nullptr;
}

int CKorviCustomImmediateApp::ExitInstance() {
    delete kci::Catalogue();
    kci::SetCatalogue(nullptr);
    if (g_moduleContext != INVALID_HANDLE_VALUE) g_activation.release(g_moduleContext);
    g_moduleContext = INVALID_HANDLE_VALUE;
    return 0;
}

ModuleContextGuard::ModuleContextGuard() {
    if (g_moduleContext != INVALID_HANDLE_VALUE)
        activated_ = g_activation.activate(g_moduleContext, &cookie_) != FALSE;
}

ModuleContextGuard::~ModuleContextGuard() {
    if (activated_) g_activation.deactivate(0, cookie_);
}

}  // namespace kci
