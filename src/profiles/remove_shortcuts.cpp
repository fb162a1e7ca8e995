// Taking the product's shortcuts out of every user profile on removal.
#include <windows.h>
#include <msi.h>

#include "profiles/core/removal_tables.h"
#include "profiles/profile_walk.h"
#include "runtime/action_frame.h"
#include "runtime/log.h"

namespace kci {

// Type 1, immediate, on removal. Reads no property; deletes the product's
// desktop and Startup shortcuts of the all-users profile and its Quick Launch
// shortcut and start-menu entries from every profile (the older layout), then
// its shortcut from the common and the user's desktop and Startup folders and
// the user's Quick Launch bar. Never deletes through a link. Returns 0.
extern "C" UINT __stdcall RemoveShortcuts(MSIHANDLE session) {
    return kci::RunAction(session, L"RemoveShortcuts", kci::ModuleContext::Open, [&] {
        LogMessage(session, L"Entering RemoveShortcuts");
        kci::RunRemovalSweep(session, kci::kShortcutRemovals, kci::SweepProgress::EachProfile);
        // Kept, "Leaving" beside the other actions' "Exiting": packages search for it
        // (RemoveShortcuts.DeletesTheRowsInOrderAndKeepsAMenuFolderThatHoldsAnotherFile).
        LogMessage(session, L"Leaving RemoveShortcuts");
        return ERROR_SUCCESS;
    });
}

}  // namespace kci
