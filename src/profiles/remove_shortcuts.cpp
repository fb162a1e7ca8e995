// Taking the product's shortcuts out of every user profile on removal.
#include <windows.h>
#include <msi.h>

#include "profiles/core/removal_tables.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/core/text_limits.h"
#include "runtime/action_value.h"
#include "runtime/log.h"

namespace kci {

// Type 1, immediate, on removal. Reads no property; deletes the product's
// desktop and Startup shortcuts of the all-users profile and its Quick Launch
// shortcut and start-menu entries from every profile (the older layout), then
// its shortcut from the common and the user's desktop and Startup folders and
// the user's Quick Launch bar. Never deletes through a link. Returns 0.
// Also deferred on removal, reading "ApplicationUsers" from CustomActionData:
// "AllUsers" (as the system, type 3073, KorviRemoveShortcutsDeferred) takes
// the all-users copies and every profile's entries; any other value
// (impersonated, type 1025, KorviRemoveShortcutsForUser) only the installing
// user's own desktop, Startup and Quick Launch copies.
extern "C" UINT __stdcall RemoveShortcuts(MSIHANDLE session) {
    return kci::RunAction(session, L"RemoveShortcuts", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering RemoveShortcuts");
        kci::SweepScope scope = kci::SweepScope::Everything;
        kci::ActionValues values(session);
        if (values.FromScript())
            scope = values.Read(L"ApplicationUsers", kci::kPathChars).value == L"AllUsers" ? kci::SweepScope::AllUsers
                                                                                        : kci::SweepScope::OwnFolders;
        kci::RunRemovalSweep(session, kci::kShortcutRemovals, scope, kci::SweepProgress::EachProfile);
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (RemoveShortcuts.DeletesTheRowsInOrderAndKeepsAMenuFolderThatHoldsAnotherFile).
        LogMessage(session, L"Leaving RemoveShortcuts");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
