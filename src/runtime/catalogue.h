// The message catalogue: the library's 42 user-facing texts, looked up in the
// package's language from the string table.
#pragma once

#include <windows.h>
#include <msi.h>

#include <cstdint>
#include <string>

#include "runtime/core/text_ids.h"

namespace kci {

class CLocal {
public:
    explicit CLocal(HMODULE module) : module_(module) {}
    virtual ~CLocal() = default;

    // Text `number` in the language of the session's "ProductLanguage", or
    // the neutral text where the library has no table for that language.
    // Returns a pointer into one shared buffer that the next lookup
    // overwrites, or " " when there is no such text; never null.
    const wchar_t* LoadCatalogueString(MSIHANDLE session, unsigned number);
    // The same in a given language (the neutral text where there is none).
    const wchar_t* LoadCatalogueStringIn(std::uint16_t language, unsigned number);

private:
    HMODULE module_;
};

// The process-wide catalogue, created when the library loads.
CLocal* Catalogue();
void SetCatalogue(CLocal* catalogue);

// A copy of catalogue text `number`, safe to keep across later lookups.
std::wstring CatalogueText(MSIHANDLE session, unsigned number);

// Whose language a text is shown in. A deferred action may read nothing from
// the session but CustomActionData (Windows answers any other property with
// an empty value), so it cannot learn "ProductLanguage" and uses the default.
enum class TextLanguage { Package, Default };
// The language of a run: Default when the installer runs the action from its script.
inline TextLanguage LanguageOfRun(bool fromScript) {
    return fromScript ? TextLanguage::Default : TextLanguage::Package;
}
std::wstring CatalogueText(MSIHANDLE session, unsigned number, TextLanguage language);

}  // namespace kci
