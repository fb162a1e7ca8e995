// Where the package puts the background transfer service's client setup.
#pragma once

#include <string>

namespace kci {

// `folder` and "Bits_v15_Client_Setup.exe", joined with exactly one
// backslash. An empty folder gives "\Bits_v15_Client_Setup.exe", the root of
// the current drive.
std::wstring BitsSetupPath(std::wstring folder);

}  // namespace kci
