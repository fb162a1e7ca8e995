#include "components/error_report.h"

#include <msiquery.h>

#include "components/core/error_report.h"
#include "runtime/handles.h"

namespace kci {

void ShowErrorReport(MSIHANDLE session, const kci::ErrorList& errors, kci::TextLanguage language) {
    const std::wstring text = kci::ErrorReportText(kci::CatalogueText(session, kci::kTextReportHeader, language), errors,
                                                   kci::CatalogueText(session, kci::kTextReportFooter, language));
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    // The installer formats field 1 too, as the template names it: the text is
    // shown as it is only because it holds the library's own texts, none with
    // brackets or braces, and nothing read from the machine.
    MsiRecordSetStringW(record.Get(), 0, L"[1]");
    MsiRecordSetStringW(record.Get(), 1, text.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ERROR, record.Get());
}

}  // namespace kci
