#include "bench/dummy_process.h"

#include <stdexcept>

namespace bench {

DummyProcess::DummyProcess(const std::wstring& imageName, Bitness bits) {
    StandIn program(folder_.Path(), imageName, bits);
    std::wstring ready = program.Path() + L".ready";
    std::wstring commandLine = L"\"" + program.Path() + L"\" --hold";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw std::runtime_error("cannot start " + Narrow(imageName));
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    processId_ = info.dwProcessId;
    // The program says when it is up, so that its modules can be listed.
    for (int i = 0; i < 1000 && !FileExists(ready); ++i) Sleep(10);
    if (!FileExists(ready)) {
        End();
        throw std::runtime_error(Narrow(imageName) + " did not start within 10 s");
    }
}

DummyProcess::~DummyProcess() { End(); }

void DummyProcess::End() {
    if (!process_) return;
    TerminateProcess(process_.Get(), 0);
    WaitForSingleObject(process_.Get(), 10000);
    process_.Close();
}

}  // namespace bench
