#include "components/core/bits_setup.h"

namespace kci {

std::wstring BitsSetupPath(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder + L"Bits_v15_Client_Setup.exe";
}

}  // namespace kci
