// What this process holds: its kernel handles by object type (registry keys
// among them) and its GDI and USER objects, to catch an action that leaves
// something open.
//
// Wine's GetProcessHandleCount always answers 0, so the handles are counted
// from the system handle table (NtQuerySystemInformation, class 16), which
// Wine fills per process. It sees every kernel handle this process holds,
// whoever opened it; it cannot tell the library's handles from those the
// installer or a system DLL opens and keeps for later (a warm-up run first
// takes those out of the comparison), and it sees nothing a child process
// holds.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>

namespace bench {

struct Census {
    int handles = 0;
    int registryKeys = 0;
    DWORD gdiObjects = 0;   // GetGuiResources; always 0 under Wine, hence:
    DWORD userObjects = 0;
    // The table slots the next few GDI (brush) and USER (menu) objects take.
    // Both tables hand out the most recently freed slots first, so an object
    // left behind takes one of them and the set changes; objects made and
    // freed again, in any order, leave the set as it was.
    std::set<WORD> gdiSlots;
    std::set<WORD> userSlots;

    static Census Take();
    // What `after` holds beyond this census, as text; empty when nothing.
    std::wstring Growth(const Census& after) const;
    // What the process holds now beyond this census and still holds a second
    // later: Wine's own worker threads open and close a handle now and then,
    // a leak stays. `ignoreUserSlots` for an action that leaves programs
    // running, whose windows and menus share Wine's one USER table (compared,
    // they get three seconds: Wine frees a closed box's window about two
    // seconds later); `ignoreGdiSlots` for a run that may show a message box
    // (see BoxesAnswered).
    std::wstring LastingGrowth(bool ignoreUserSlots, bool ignoreGdiSlots = false) const;
};

// What `run` leaves behind (as LastingGrowth) when an identical second run
// leaves something too, the second run's growth; empty otherwise. Under load
// Wine's worker threads keep a handle for longer than a second now and then,
// at a different run each time; a leak repeats. `prepare`, where given, builds
// what each run needs before its census (a session's own GDI objects are not
// the run's).
std::wstring RepeatedGrowth(const std::function<void()>& run, bool ignoreUserSlots, bool ignoreGdiSlots = false,
                            const std::function<void()>& prepare = {});

}  // namespace bench
