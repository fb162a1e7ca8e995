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

namespace {
bool StartsQuoted(std::wstring_view commandLine) { return !commandLine.empty() && commandLine.front() == L'"'; }
}  // namespace

std::wstring_view ProgramOf(std::wstring_view commandLine) {
    if (StartsQuoted(commandLine)) return commandLine.substr(1, commandLine.find(L'"', 1) - 1);
    return commandLine.substr(0, commandLine.find(L' '));
}

bool StartsAbsoluteProgram(std::wstring_view commandLine) {
    if (StartsQuoted(commandLine) && commandLine.find(L'"', 1) == std::wstring_view::npos) return false;
    return IsAbsolutePath(ProgramOf(commandLine));
}

}  // namespace kci
