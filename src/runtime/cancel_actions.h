// The Cancel-button actions, for the one action that also calls one itself.
#pragma once

#include <windows.h>
#include <msi.h>

extern "C" UINT __stdcall EnableCancel(MSIHANDLE session);
