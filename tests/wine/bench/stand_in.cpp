#include "bench/stand_in.h"

#include <stdexcept>

#include "bench/temp_files.h"
#include "harness/library.h"

namespace bench {

StandIn::StandIn(const std::wstring& folder, const std::wstring& fileName, Bitness bits)
    : path_(folder + L"\\" + fileName) {
    const wchar_t* build = bits == Bitness::x64 ? L"\\kci_standin64.exe" : L"\\kci_standin.exe";
    // A copy started a moment ago may still be ending.
    BOOL copied = FALSE;
    for (int i = 0; i < 100 && !(copied = CopyFileW((BuildFolder() + build).c_str(), path_.c_str(), FALSE)); ++i) Sleep(50);
    if (!copied)
        throw std::runtime_error("cannot copy the stand-in to " + Narrow(path_));
}

void StandIn::SetExitCode(DWORD code) { WriteFile(path_ + L".exitcode", std::to_string(code)); }

std::vector<std::wstring> StandIn::CommandLines() const {
    std::wstring all = Widen(ReadFile(path_ + L".cmdline"));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    return lines;
}

RuntimeFolder::RuntimeFolder() {
    wchar_t windir[MAX_PATH] = {};
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    path_ = windir;
    for (const wchar_t* part : {L"\\Microsoft.NET", L"\\Framework", L"\\v2.0.50727"})
        if (CreateDirectoryW((path_ += part).c_str(), nullptr)) made_.push_back(path_);
}

RuntimeFolder::~RuntimeFolder() {
    for (const auto& name : placed_)
        for (const wchar_t* suffix : {L"", L".cmdline", L".exitcode"}) DeleteFileW((path_ + L"\\" + name + suffix).c_str());
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryW(it->c_str());
}

StandIn RuntimeFolder::Place(const std::wstring& name) {
    placed_.push_back(name);
    return StandIn(path_, name);
}

}  // namespace bench
