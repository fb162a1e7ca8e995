#include "harness/library.h"

#include <stdexcept>

#include "harness/session.h"

namespace harness {

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// Loaded for the life of the runner and never freed: tests keep pointers into
// the library (its exports, its resources) until the process ends.
HMODULE Library() {
    static HMODULE library = [] {
        HMODULE module = LoadLibraryW((BuildFolder() + L"\\KorviCustomImmediate.dll").c_str());
        if (module == nullptr) throw std::runtime_error("cannot load KorviCustomImmediate.dll");
        return module;
    }();
    return library;
}

UINT CallAction(HMODULE library, const char* name, MSIHANDLE handle) {
    using Action = UINT(__stdcall*)(MSIHANDLE);
    auto action = reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (action == nullptr) throw std::runtime_error(std::string("no export ") + name);
    return action(handle);
}

UINT CallAction(const char* name, MSIHANDLE handle) { return CallAction(Library(), name, handle); }

UINT CallAction(const char* name, const Session& session) { return CallAction(name, session.Handle()); }

}  // namespace harness
