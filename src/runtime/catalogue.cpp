#include "runtime/catalogue.h"

#include <algorithm>

#include "runtime/core/catalogue_core.h"
#include "runtime/core/text_limits.h"
#include "runtime/property.h"

namespace kci {
namespace {

wchar_t g_textBuffer[kci::kCatalogueBufferChars];
const wchar_t kMissingText[] = L" ";
CLocal* g_catalogue = nullptr;

std::uint16_t PackageLanguage(MSIHANDLE session) {
    // A failed read leaves the value empty, which reads as language 0.
    return kci::ParseLanguageId(kci::ReadProperty(session, L"ProductLanguage", kci::kProductPropertyChars).value);
}

HRSRC FindStringBlock(HMODULE module, unsigned number, std::uint16_t language) {
    auto name = MAKEINTRESOURCEW(kci::StringBlockId(number));
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6) /* RT_STRING */, name, language);
    if (found == nullptr) found = FindResourceExW(module, MAKEINTRESOURCEW(6), name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    return found;
}

}  // namespace

const wchar_t* CLocal::LoadCatalogueString(MSIHANDLE session, unsigned number) {
    return LoadCatalogueStringIn(PackageLanguage(session), number);
}

const wchar_t* CLocal::LoadCatalogueStringIn(std::uint16_t language, unsigned number) {
    HRSRC found = FindStringBlock(module_, number, language);
    if (found == nullptr) return kMissingText;
    HGLOBAL loaded = LoadResource(module_, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) return kMissingText;

    std::size_t units = SizeofResource(module_, found) / sizeof(std::uint16_t);
    auto text = kci::FindStringInBlock(static_cast<const std::uint16_t*>(data), units, kci::StringBlockSlot(number));
    if (!text) return kMissingText;
    std::copy(text->begin(), text->end(), g_textBuffer);
    g_textBuffer[text->size()] = L'\0';
    return g_textBuffer;
}

CLocal* Catalogue() { return g_catalogue; }
void SetCatalogue(CLocal* catalogue) { g_catalogue = catalogue; }

std::wstring CatalogueText(MSIHANDLE session, unsigned number) {
    return g_catalogue ? g_catalogue->LoadCatalogueString(session, number) : kMissingText;
}

std::wstring CatalogueText(MSIHANDLE session, unsigned number, TextLanguage language) {
    if (language == TextLanguage::Package) return CatalogueText(session, number);
    return g_catalogue ? g_catalogue->LoadCatalogueStringIn(kDefaultLanguage, number) : kMissingText;
}

}  // namespace kci
