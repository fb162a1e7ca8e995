#include "components/core/error_report.h"

namespace kci {

std::wstring ErrorReportText(const std::wstring& header, const kci::ErrorList& errors, const std::wstring& footer) {
    std::wstring text = header + L"\n";
    for (const auto& error : errors) {
        text += L"   - ";
        text += error;
    }
    return text + L"\n" + footer;
}

}  // namespace kci
