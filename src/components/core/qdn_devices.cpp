#include "components/core/qdn_devices.h"

namespace kci {

std::vector<std::wstring> QdnDevices(const std::vector<std::wstring>& adapterServiceNames) {
    std::vector<std::wstring> devices{kQdnControlDevice};
    const std::wstring adapterPrefix = std::wstring(kQdnControlDevice) + L"_";
    for (const auto& service : adapterServiceNames) devices.push_back(adapterPrefix + service);
    return devices;
}

}  // namespace kci
