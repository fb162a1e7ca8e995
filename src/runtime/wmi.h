// The three steps every WMI question takes: a locator, a connection to a
// namespace, and a WQL query. Callers log each failure in their own words.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <string>

#include "runtime/com.h"

namespace kci {

HRESULT CreateWmiLocator(ComPtr<IWbemLocator>& locator);

// Connects with the caller's own credentials.
HRESULT ConnectWmiNamespace(IWbemLocator& locator, const std::wstring& path, ComPtr<IWbemServices>& services);

HRESULT ExecWqlQuery(IWbemServices& services, const std::wstring& query, long flags,
                     ComPtr<IEnumWbemClassObject>& rows);

// The next row, waiting as long as it takes; an empty pointer at the end or
// when the enumerator fails, told apart by `result` (a query asked to return
// at once reports its own failure here).
ComPtr<IWbemClassObject> NextWmiRow(IEnumWbemClassObject& rows, HRESULT& result);

}  // namespace kci
