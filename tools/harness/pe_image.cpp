#include "harness/pe_image.h"

#include <stdexcept>

namespace harness {

// The plain names a DLL exports, leaving out the decorated "_Name@4" spellings.
std::set<std::string> ExportedActions(HMODULE module) {
    std::set<std::string> names;
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        std::string name = reinterpret_cast<const char*>(base + nameRvas[i]);
        if (name.find('@') == std::string::npos) names.insert(name);
    }
    return names;
}

namespace {

const IMAGE_IMPORT_DESCRIPTOR* ImportDescriptors(HMODULE module) {
    auto base = reinterpret_cast<const BYTE*>(module);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    return dir.VirtualAddress == 0 ? nullptr : reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
}

}  // namespace

std::vector<std::string> ImportedDlls(HMODULE module) {
    std::vector<std::string> names;
    auto base = reinterpret_cast<const BYTE*>(module);
    for (auto imp = ImportDescriptors(module); imp && imp->Name; ++imp)
        names.push_back(reinterpret_cast<const char*>(base + imp->Name));
    return names;
}

void ForEachImport(HMODULE module, const std::function<void(const std::string& dll, const std::string& name, void** entry)>& visit) {
    auto base = reinterpret_cast<BYTE*>(module);
    for (auto imp = ImportDescriptors(module); imp && imp->Name; ++imp) {
        const std::string dll = reinterpret_cast<const char*>(base + imp->Name);
        auto names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto entries = reinterpret_cast<void**>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            visit(dll, reinterpret_cast<const char*>(byName->Name), entries);
        }
    }
}

void* ReplaceImport(void** entry, void* replacement) {
    void* held = *entry;
    DWORD was = 0;
    if (!VirtualProtect(entry, sizeof(void*), PAGE_READWRITE, &was)) throw std::runtime_error("cannot write the import table");
    *entry = replacement;
    VirtualProtect(entry, sizeof(void*), was, &was);
    return held;
}

void ReplaceImports(HMODULE module, const std::map<std::string, void*>& replacements,
                    std::map<std::string, void*>& replaced) {
    ForEachImport(module, [&](const std::string&, const std::string& name, void** entry) {
        const auto replacement = replacements.find(name);
        if (replacement != replacements.end()) replaced[name] = ReplaceImport(entry, replacement->second);
    });
}

}  // namespace harness
