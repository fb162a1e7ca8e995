// The report text for any header, entries and footer holds all of them, in
// order, each entry behind its bullet.
#include <cstddef>
#include <cstdint>
#include <string>

#include "components/core/error_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Zero bytes separate the header, the entries and the footer.
    kci::ErrorList parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) parts.emplace_back();
        else parts.back().push_back(static_cast<wchar_t>(data[i]));
    }
    if (parts.size() < 2) return 0;
    const std::wstring header = parts.front(), footer = parts.back();
    const kci::ErrorList entries(parts.begin() + 1, parts.end() - 1);
    const std::wstring report = kci::ErrorReportText(header, entries, footer);
    if (report.compare(0, header.size(), header) != 0) __builtin_trap();
    if (report.size() < footer.size() || report.compare(report.size() - footer.size(), footer.size(), footer) != 0)
        __builtin_trap();
    std::size_t at = header.size();
    for (const auto& entry : entries) {
        at = report.find(L"   - " + entry, at);
        if (at == std::wstring::npos) __builtin_trap();
        at += 5 + entry.size();
    }
    return 0;
}
