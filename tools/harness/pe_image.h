// What a loaded DLL's PE headers say about it: its exports and its imports.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace harness {

// The plain names `module` exports, leaving out the decorated "_Name@4" ones.
std::set<std::string> ExportedActions(HMODULE module);
// The DLLs `module` imports, as its import table names them.
std::vector<std::string> ImportedDlls(HMODULE module);
// Calls `visit` for each function `module` imports by name, with the DLL as
// the import table names it and the function's entry in the address table.
void ForEachImport(HMODULE module, const std::function<void(const std::string& dll, const std::string& name, void** entry)>& visit);
// Points an import's address-table `entry` at `replacement`; gives what it held.
void* ReplaceImport(void** entry, void* replacement);
// Points each import of `module` named in `replacements` at its replacement,
// and gives what each held, by name, in `replaced`.
void ReplaceImports(HMODULE module, const std::map<std::string, void*>& replacements,
                    std::map<std::string, void*>& replaced);

}  // namespace harness
