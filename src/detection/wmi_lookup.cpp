#include "detection/wmi_lookup.h"

#include "detection/core/image_name.h"
#include "detection/process_lookup.h"
#include "runtime/log.h"
#include "runtime/wmi.h"

namespace kci {

namespace {

// The process ID as WMI hands it (a signed or unsigned 32-bit number), or -1.
int ProcessId(const VARIANT& value) {
    return value.vt == VT_I4 || value.vt == VT_UI4 || value.vt == VT_INT || value.vt == VT_UINT ? value.lVal : -1;
}

// Not being able to ask is no answer: an installer thread in a
// single-threaded apartment never reaches WMI at all.
bool LookInProcessList(MSIHANDLE session, const std::wstring& imageName) {
    LogMessage(session, L"FindRunningProcessByNameWMI() WMI not available, looking in the process list");
    return FindRunningProcessByName(session, imageName);
}

}  // namespace

UINT WMIquery(MSIHANDLE session, const std::wstring& text, kci::WmiQuery& query) {
    LogMessage(session, L"WMIquery() In.");
    HRESULT hr = query.com.InitializeMultithreaded();
    if (FAILED(hr)) {
        LogMessage(session, L"WMIquery() Failed to initialize COM library. Error code = 0x%lx", hr);
        return ERROR_INSTALL_FAILURE;
    }
    hr = kci::CreateWmiLocator(query.locator);
    if (FAILED(hr)) {
        LogMessage(session, L"WMIquery() Failed to create IWbemLocator object. Err code = 0x%lx", hr);
        return ERROR_INSTALL_FAILURE;
    }
    hr = kci::ConnectWmiNamespace(*query.locator.Get(), L"ROOT\\CIMV2", query.services);
    if (FAILED(hr)) {
        LogMessage(session, L"WMIquery() Could not connect. Err code = 0x%lx", hr);
        return ERROR_INSTALL_FAILURE;
    }
    LogMessage(session, L"WMIquery() Connected to ROOT\\CIMV2 WMI namespace");
    hr = CoSetProxyBlanket(query.services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        LogMessage(session, L"WMIquery() Could not set proxy blanket. Err code = 0x%lx", hr);
        return ERROR_INSTALL_FAILURE;
    }
    hr = kci::ExecWqlQuery(*query.services.Get(), text, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                           query.rows);
    if (FAILED(hr)) {
        // Kept, "operating system name" whatever was asked: packages search the log for it
        // (WmiLookup.WithoutWmiTheProcessListAnswers).
        LogMessage(session, L"WMIquery() Query for operating system name failed. Err code = 0x%lx", hr);
        return ERROR_INSTALL_FAILURE;
    }
    LogMessage(session, L"WMIquery() Out");
    return ERROR_SUCCESS;
}

bool FindRunningProcessByNameWMI(MSIHANDLE session, const std::wstring& imageName) {
    LogMessage(session, L"FindRunningProcessByNameWMI() In");
    const std::wstring text = L"SELECT * FROM Win32_Process WHERE Name = \"" + imageName + L"\"";
    LogMessage(session, L"FindRunningProcessByNameWMI() query to WMI = %s", text);

    kci::WmiQuery query;  // everything it holds is released on every way out
    if (WMIquery(session, text, query) != ERROR_SUCCESS) {
        // Kept as spelt: packages search the log for it (WmiLookup.WithoutWmiTheProcessListAnswers).
        LogMessage(session, L"FindRunningProcessByNameWMI() WMIquery didnt return success.");
        return LookInProcessList(session, imageName);
    }
    bool running = false;
    for (;;) {
        HRESULT hr = S_OK;
        kci::ComPtr<IWbemClassObject> row = kci::NextWmiRow(*query.rows.Get(), hr);
        if (FAILED(hr)) {
            // The query was asked to return at once, so its own failure arrives here.
            LogMessage(session, L"FindRunningProcessByNameWMI() Next failed. Err code = 0x%lx", hr);
            return LookInProcessList(session, imageName);
        }
        if (!row) {
            LogMessage(session, L"FindRunningProcessByNameWMI() uReturn = 0. Breaking out of the loop.");
            break;
        }
        kci::Variant value;
        row->Get(L"Name", 0, value.Receive(), nullptr, nullptr);
        const std::wstring name = value.Text();
        LogMessage(session, L"FindRunningProcessByNameWMI() Query result - process name:%s", name);
        // WMI selected by name already; the whole name is checked once more.
        if (kci::SameImageName(name, imageName)) running = true;
        row->Get(L"ProcessID", 0, value.Receive(), nullptr, nullptr);
        LogMessage(session, L"FindRunningProcessByNameWMI() Query result - process ID:%d", ProcessId(value.Get()));
    }
    // Kept, nReturn always 0: packages search the log for it (WmiLookup.RowsOfRunningProcessesAndNoneWhenNothingRuns).
    LogMessage(session, L"FindRunningProcessByNameWMI() Query result - nReturn=%d isProcessRunning = %d", 0,
               running ? 1 : 0);
    return running;
}

}  // namespace kci
