// Processes running under a chosen image name, for the actions to find.
#pragma once

#include <windows.h>

#include <string>

#include "bench/stand_in.h"
#include "bench/temp_files.h"
#include "runtime/handles.h"

namespace bench {

// A running process with a chosen image name; ended when the object goes.
class DummyProcess {
public:
    explicit DummyProcess(const std::wstring& imageName, Bitness bits = Bitness::x86);
    ~DummyProcess();
    DummyProcess(const DummyProcess&) = delete;
    DummyProcess& operator=(const DummyProcess&) = delete;
    DWORD Id() const { return processId_; }
    void End();

private:
    TempDir folder_;
    kci::UniqueHandle<kci::KernelHandleTraits> process_;
    DWORD processId_ = 0;
};

}  // namespace bench
