#include "runtime/wmi.h"

namespace kci {
namespace {

// Spelt out here rather than linked from the WMI GUID library, which brings
// every WMI class and interface identifier (tens of KB) into the DLL.
const CLSID kWbemLocatorClass = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
const IID kWbemLocatorInterface = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

}  // namespace

HRESULT CreateWmiLocator(ComPtr<IWbemLocator>& locator) {
    return CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, kWbemLocatorInterface,
                            reinterpret_cast<void**>(locator.Receive()));
}

HRESULT ConnectWmiNamespace(IWbemLocator& locator, const std::wstring& path, ComPtr<IWbemServices>& services) {
    Bstr name = MakeBstr(path);
    if (!name) return E_OUTOFMEMORY;
    return locator.ConnectServer(name.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive());
}

HRESULT ExecWqlQuery(IWbemServices& services, const std::wstring& query, long flags,
                     ComPtr<IEnumWbemClassObject>& rows) {
    Bstr language = MakeBstr(L"WQL");
    Bstr text = MakeBstr(query);
    if (!language || !text) return E_OUTOFMEMORY;
    return services.ExecQuery(language.Get(), text.Get(), flags, nullptr, rows.Receive());
}

ComPtr<IWbemClassObject> NextWmiRow(IEnumWbemClassObject& rows, HRESULT& result) {
    ComPtr<IWbemClassObject> row;
    ULONG returned = 0;
    result = rows.Next(static_cast<long>(WBEM_INFINITE), 1, row.Receive(), &returned);
    if (returned == 0 || FAILED(result)) row.Reset();
    return row;
}

}  // namespace kci
