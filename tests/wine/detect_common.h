// What the detection tests share: the catalogue texts the prompt shows, and
// the log with the lines that depend on the machine's process list removed.
#pragma once

#include <string>

#include "bench/bench.h"

namespace detect {

const std::wstring kHeading =
    L"The following applications are using files needed by the uninstall process. Please close the apps and press "
    L"the Retry button to continue";
const std::wstring kPromptFailedText =
    L"Error in showing applications that need to be shut down. Please exit Communicator and/or Tenvor Pelago "
    L"applications and restart the install.";
constexpr UINT kFilesInUse = INSTALLMESSAGE_FILESINUSE;

inline bool IsWalkLine(const std::wstring& line) {
    return line == L"Failed to OpenProcess" || line == L"Failed to EnumProcessModules" ||
           (line.compare(0, 6, L"Found ") == 0 && line.size() > 11 &&
            line.compare(line.size() - 11, 11, L" processses") == 0);
}

// The library's log lines without the count of processes and the lines for
// processes that could not be read: those differ from machine to machine.
inline bench::Lines Steps(const bench::Session& session) {
    bench::Lines steps;
    for (const auto& line : session.Log())
        if (!IsWalkLine(line)) steps.push_back(line);
    return steps;
}

// The (image name, display name) pairs of a files-in-use record.
inline std::vector<std::pair<std::wstring, std::wstring>> Pairs(const bench::Message& prompt) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t field = 1; field + 1 <= prompt.FieldCount(); field += 2)
        pairs.emplace_back(prompt.Text(field), prompt.Text(field + 1));
    return pairs;
}

using PairList = std::vector<std::pair<std::wstring, std::wstring>>;

}  // namespace detect
