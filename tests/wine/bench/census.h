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

#include <string>

namespace bench {

struct Census {
    int handles = 0;
    int registryKeys = 0;
    DWORD gdiObjects = 0;   // GetGuiResources; always 0 under Wine, hence:
    DWORD userObjects = 0;
    // The table slot a new GDI (brush) and USER (menu) object takes. Both
    // tables hand out the most recently freed slot first, so an object left
    // behind moves the slot the next probe gets. An action that frees its own
    // objects in another order than it made them moves it too.
    WORD gdiSlot = 0;
    WORD userSlot = 0;

    static Census Take();
    // What `after` holds beyond this census, as text; empty when nothing.
    std::wstring Growth(const Census& after) const;
};

}  // namespace bench
