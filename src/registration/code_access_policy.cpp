// Full trust for the person-name add-in: code groups at the enterprise and the
// machine policy level, added by the runtime's Caspol.Exe, four lines, each
// tool waited for up to 5 s, and removed again by CaspolUndoOperations. The
// two adding actions differ only in where the add-in lies and in what they
// show and log (a row of registration/core/registration_tables.cpp). The
// groups are shared by the maker's products: each adding run records its
// product, and the undo removes them only when no other product needs them.
#include "registration/core/tool_runs.h"
#include "registration/tool_launcher.h"
#include "runtime/action_frame.h"
#include "runtime/catalogue.h"
#include "runtime/core/text_limits.h"
#include "runtime/log.h"
#include "runtime/product_records.h"

namespace kci {

namespace {

// The shared change these actions make: its record's key under "...\KORVI\Shared".
constexpr wchar_t kCodeAccessPolicy[] = L"CodeAccessPolicy";

// The policy lines, then the record that the product needs them and the
// action's exit line, where the tool ran.
void ApplyPolicy(MSIHANDLE session, const kci::CaspolAction& action, const wchar_t* name) {
    kci::ShellToolHost host(session);
    if (!kci::ApplyCaspolPolicy(host, action, kci::ReadCustomActionData(session, kci::kPathChars),
                                kci::ReadEnvironmentVariable(L"windir")))
        return;
    kci::AddSharedReference(session, kci::kCodeAccessPolicy, name);
    if (action.exitLine) LogMessage(session, L"%s", action.exitLine);
}

}  // namespace

// Type 3073, deferred as the system, after InstallFiles. CustomActionData is
// the installation folder, ending in a backslash. Returns 0 on every path;
// lasts as long as its four tools, each at most 5 s. Logs the lines by index
// only, and no exit line.
extern "C" UINT __stdcall CaspolOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"CaspolOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CaspolOperations");
        ApplyPolicy(session, kci::kCaspolProduct, L"CaspolOperations");
        return ERROR_SUCCESS;
    });
}

// Type 3073, deferred as the system, after InstallFiles. CustomActionData is
// the folder that holds add-ins\smarttag\plugin\, ending in a backslash.
// Shows text 42 as its progress line, logs each whole line and, after the
// last, its exit line. Returns 0 on every path; lasts as long as its four
// tools, each at most 5 s.
extern "C" UINT __stdcall CaspolOperationsC2C(MSIHANDLE session) {
    return kci::RunAction(session, L"CaspolOperationsC2C", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CaspolOperationsC2C");
        // A deferred action cannot read the package's language.
        ShowActionStart(session, kci::CatalogueText(session, kci::kTextCaspolOperations, kci::TextLanguage::Default),
                        kci::kUnitAloneTemplate);
        ApplyPolicy(session, kci::kCaspolClickToCall, L"CaspolOperationsC2C");
        return ERROR_SUCCESS;
    });
}

// Type 3073 on removal, and type 3329 (rollback) just before the first policy
// action; reads "windir" and ProductCode. Once no other product needs them,
// removes the TenvorSmartTags groups at the enterprise and then the machine
// level, one per run of the tool, until it exits with other than 0 or has
// run 8 times at that level. Returns 0 on
// every path; each tool is waited for up to 5 s.
extern "C" UINT __stdcall CaspolUndoOperations(MSIHANDLE session) {
    return kci::RunAction(session, L"CaspolUndoOperations", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering CaspolUndoOperations");
        kci::UndoSharedChange(session, kci::kCodeAccessPolicy, [&] {
            kci::ShellToolHost host(session);
            kci::RemoveCaspolGroups(host, kci::ReadEnvironmentVariable(L"windir"));
        });
        LogMessage(session, L"Exiting CaspolUndoOperations");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
