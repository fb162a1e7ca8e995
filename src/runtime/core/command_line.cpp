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

bool IsAbsolutePath(std::wstring_view path) {
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
    const bool driveLetter = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return driveLetter && path[1] == L':' && path[2] == L'\\';
}

bool StartsAbsoluteProgram(std::wstring_view commandLine) {
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const std::size_t close = commandLine.find(L'"', 1);
        return close != std::wstring_view::npos && IsAbsolutePath(commandLine.substr(1, close - 1));
    }
    return IsAbsolutePath(commandLine.substr(0, commandLine.find(L' ')));
}

}  // namespace kci
