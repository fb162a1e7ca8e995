#include "runtime/core/command_line.h"

namespace kci {

std::wstring ProgramCommandLine(std::wstring_view program, std::wstring_view switches) {
    std::wstring line;
    if (program.empty() || program.front() == L'"') {
        line = program;
    } else {
        line = L'"';
        line += program;
        line += L'"';
    }
    line += switches;
    return line;
}

std::wstring JoinPath(std::wstring folder, std::wstring_view name) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    folder += name;
    return folder;
}

}  // namespace kci
