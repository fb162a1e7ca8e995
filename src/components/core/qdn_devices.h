// The devices the link-layer discovery driver can expose: one control device
// and one per network adapter it is bound to.
#pragma once

#include <string>
#include <vector>

namespace kci {

inline constexpr wchar_t kQdnControlDevice[] = L"\\\\.\\ZephQdnPacket";

// The control device first, then "<control device>_<service name>" for each
// adapter, in the order given.
std::vector<std::wstring> QdnDevices(const std::vector<std::wstring>& adapterServiceNames);

}  // namespace kci
