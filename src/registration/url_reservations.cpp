// Reserving the product's HTTP URL namespaces for the built-in Users group,
// with netsh or with the older httpcfg.exe, and deleting them again; the
// package runs the pair that fits the platform. Each tool is waited for, at
// most 5 s, so that a rollback's delete never runs before the add it undoes.
// An add the tool refuses is a URL reserved already. The reservations are
// shared by the maker's products: each adding run records its product, and
// the undo deletes them only when no other product needs them
// (runtime/product_records.h), and never one another program had before.
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/handles.h"
#include "runtime/product_records.h"
#include "runtime/registry.h"

namespace kci {

namespace {

// The shared change these actions make: its record's key under "...\KORVI\Shared".
constexpr wchar_t kUrlReservations[] = L"UrlReservations";

// A URL another program had reserved before the first of the maker's products
// came stays that program's: the first adding run records each URL whose add
// did not succeed in the reservations' record, as a value named by the URL
// (no product code, so no product), and the undo leaves those alone and
// forgets them with the last product.
constexpr wchar_t kNotTheProducts[] = L"not the product's";

// The reservations' record under "...\KORVI\Shared".
std::wstring RecordPath() { return kci::SharedChangePath(kUrlReservations); }

// True when a product is recorded as needing the reservations; a record that
// cannot be listed counts as none.
bool AnyProductNeedsUrls(MSIHANDLE session) {
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, RecordPath(), KEY_QUERY_VALUE, key))
        return false;
    const std::optional<int> products = kci::CountProducts(session, key.Get());
    return products && *products > 0;
}

void RecordOthersUrls(MSIHANDLE session, const kci::UrlReservationRun& run) {
    if (run.notAdded.empty() || AnyProductNeedsUrls(session)) return;
    kci::RegKey key;
    const std::wstring path = RecordPath();
    const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
    if (created != ERROR_SUCCESS) return kci::LogFailedCall(session, L"RegCreateKeyEx", path, created);
    for (const std::wstring& url : run.notAdded) {
        const LSTATUS written = kci::WriteRegistryText(key.Get(), url.c_str(), kNotTheProducts);
        if (written != ERROR_SUCCESS) kci::LogFailedCall(session, L"RegSetValueEx", path, written);
        else LogMessage(session, L"Reserved before the product came, recorded as not the product's: %s", url);
    }
}

// The URLs recorded as not the product's.
std::vector<std::wstring> OthersUrls() {
    std::vector<std::wstring> urls;
    kci::RegKey key;
    if (kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, RecordPath(), KEY_QUERY_VALUE, key))
        return urls;
    for (DWORD index = 0;; ++index) {
        const kci::RegistryValue value = kci::EnumRegistryValueName(key.Get(), index, kci::kPathChars);
        if (value.status != ERROR_SUCCESS && value.status != ERROR_MORE_DATA) return urls;
        if (!value.name.empty() && kci::ReservedUrlOf(value.name) == value.name) urls.push_back(value.name);
    }
}

// Deletes the record's values of the URLs that were not the product's: with
// the last product they are no longer anybody's to keep, and the record goes
// only once empty.
void ForgetOthersUrls(MSIHANDLE session, const std::vector<std::wstring>& urls) {
    if (urls.empty()) return;
    kci::RegKey key;
    const std::wstring path = RecordPath();
    const LSTATUS opened = kci::OpenRegistryKey(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE, key);
    if (opened != ERROR_SUCCESS) return kci::LogFailedCall(session, L"RegOpenKeyEx", path, opened);
    for (const std::wstring& url : urls) {
        const LSTATUS deleted = RegDeleteValueW(key.Get(), url.c_str());
        if (deleted != ERROR_SUCCESS) kci::LogFailedCall(session, L"RegDeleteValue", path, deleted);
    }
}

}  // namespace

// Type 3073, deferred as the system, after InstallFiles; reads ProductCode. Runs
// the system folder's netsh.exe "http add urlacl" once per port, each waited
// for up to 5 s, records that the product needs the reservations, and returns
// 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall netshOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshOperations");
        kci::ShellToolHost host(session);
        const kci::UrlReservationRun run = kci::ReserveUrlsWithNetsh(host, kci::SystemFolder());
        if (!run.ran) return ERROR_SUCCESS;
        RecordOthersUrls(session, run);
        kci::AddSharedReference(session, kUrlReservations, L"netshOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073, deferred as the system, after InstallFiles. CustomActionData is
// the folder of httpcfg.exe, ending in a backslash. Runs "httpcfg.exe set
// urlacl" once per port, each waited for up to 5 s, and records that the
// product needs the reservations; or nothing when that folder is not
// absolute. Returns 0 whatever the launches gave. Writes no exit line.
extern "C" UINT __stdcall httpcfgOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgOperations");
        kci::ShellToolHost host(session);
        // The folder is read as a path, half of a 520-character buffer, so
        // that the tool's name always fits behind it.
        const kci::UrlReservationRun run =
            kci::ReserveUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars));
        if (!run.ran) return ERROR_SUCCESS;
        RecordOthersUrls(session, run);
        kci::AddSharedReference(session, kUrlReservations, L"httpcfgOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before netshOperations; reads ProductCode. Once no other product needs the
// reservations, runs the system folder's netsh.exe "http delete urlacl" once
// per port, each waited for up to 5 s. Returns 0 whatever the launches gave.
extern "C" UINT __stdcall netshUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"netshUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering netshUndoOperations");
        kci::UndoSharedChange(session, kUrlReservations, [&] {
            const std::vector<std::wstring> others = OthersUrls();
            kci::ShellToolHost host(session);
            kci::ReleaseUrlsWithNetsh(host, kci::SystemFolder(), others);
            ForgetOthersUrls(session, others);
        });
        LogMessage(session, L"Exiting netshUndoOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, before RemoveFiles, and type 3329 (rollback) just
// before httpcfgOperations. CustomActionData is the folder of httpcfg.exe, as
// for httpcfgOperations, and ProductCode. Once no other product needs the
// reservations, runs "httpcfg.exe delete urlacl" once per port, each waited
// for up to 5 s, or nothing when that folder is not absolute. Returns 0
// whatever the launches gave.
extern "C" UINT __stdcall httpcfgUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"httpcfgUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering httpcfgUndoOperations");
        kci::UndoSharedChange(session, kUrlReservations, [&] {
            const std::vector<std::wstring> others = OthersUrls();
            kci::ShellToolHost host(session);
            kci::ReleaseUrlsWithHttpcfg(host, kci::ReadCustomActionData(session, kci::kPathChars), others);
            ForgetOthersUrls(session, others);
        });
        LogMessage(session, L"Exiting httpcfgUndoOperations");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
