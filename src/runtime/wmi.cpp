#include "runtime/wmi.h"

namespace kci {

HRESULT CreateWmiLocator(ComPtr<IWbemLocator>& locator) {
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
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

ComPtr<IWbemClassObject> NextWmiRow(IEnumWbemClassObject& rows, HRESULT* result) {
    ComPtr<IWbemClassObject> row;
    ULONG returned = 0;
    const HRESULT hr = rows.Next(static_cast<long>(WBEM_INFINITE), 1, row.Receive(), &returned);
    if (result) *result = hr;
    if (returned == 0) row.Reset();
    return row;
}

}  // namespace kci
