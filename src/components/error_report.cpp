#include "components/error_report.h"

#include <msiquery.h>

#include "components/core/error_report.h"
#include "runtime/handles.h"

namespace kci {

void ShowErrorReport(MSIHANDLE session, const kci::ErrorList& errors, kci::TextLanguage language) {
    const std::wstring text = kci::ErrorReportText(kci::CatalogueText(session, kci::kTextReportHeader, language), errors,
                                                   kci::CatalogueText(session, kci::kTextReportFooter, language));
    kci::MsiHandleGuard record(MsiCreateRecord(2));
    // The text goes in a field, not the template, so that the installer shows
    // it as it is rather than expanding brackets in it.
    MsiRecordSetStringW(record.Get(), 0, L"[1]");
    MsiRecordSetStringW(record.Get(), 1, text.c_str());
    MsiProcessMessage(session, INSTALLMESSAGE_ERROR, record.Get());
}

}  // namespace kci
