// Any "windir", folder and adapter names for the tool paths, the policy and
// native image lines and the driver's device list: a path is given only from
// an absolute "windir" and when it fits its buffer, and every line carries
// the folder it was built from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "components/core/qdn_devices.h"
#include "registration/core/tool_paths.h"
#include "registration/core/tool_runs.h"
#include "runtime/core/command_line.h"

namespace {

// The input as text; zero bytes cut it into pieces, and a byte repeated
// stands for many of itself so that the buffers' bounds are reached.
std::vector<std::wstring> Pieces(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) pieces.emplace_back();
        else if (data[i] == 0xFF && i + 1 < size) pieces.back().append(data[++i] * 4u, L'w');
        else pieces.back().push_back(static_cast<wchar_t>(data[i]));
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> pieces = Pieces(data, size);
    const std::wstring& windir = pieces.front();
    for (auto [suffix, chars] : {std::pair{kci::kCaspolSuffix, kci::kCaspolPathChars},
                                 std::pair{kci::kNgenSuffix, kci::kNgenPathChars}}) {
        const kci::RuntimeTool tool = kci::RuntimeToolPath(windir, suffix, chars);
        const bool given = tool.fault == kci::WindirFault::None;
        if (given != !tool.path.empty()) __builtin_trap();
        if (given && (tool.path.size() >= chars || tool.path != windir + suffix || windir.size() > kci::kWindirChars ||
                      !kci::IsAbsolutePath(windir)))
            __builtin_trap();
    }
    const std::wstring& folder = pieces.back();
    for (const kci::CaspolAction* action : {&kci::kCaspolProduct, &kci::kCaspolClickToCall}) {
        const auto lines = kci::CaspolParameterLines(folder, *action);
        if (lines[0].find(folder) == std::wstring::npos || lines[2].find(folder) == std::wstring::npos) __builtin_trap();
    }
    for (kci::NgenMode mode : {kci::NgenMode::Install, kci::NgenMode::Uninstall})
        if (kci::NgenParameterLine(mode, folder, kci::kNativeImageAssemblies[0]).find(folder) == std::wstring::npos)
            __builtin_trap();
    const std::vector<std::wstring> adapters(pieces.begin() + 1, pieces.end());
    const std::vector<std::wstring> devices = kci::QdnDevices(adapters);
    if (devices.size() != adapters.size() + 1 || devices.front() != kci::kQdnControlDevice) __builtin_trap();
    return 0;
}
