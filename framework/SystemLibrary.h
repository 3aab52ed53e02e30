// Libraries from the system folder only. A setup program is usually started
// from a downloads folder, where anyone may have left a DLL with a system
// name, and it runs with administrator rights.
#pragma once
#include <windows.h>

// From here on, DLLs loaded by name (the late-bound imports among them) are
// searched for in the system folder only, where the platform can do that.
void RestrictDllSearchToSystem();
// name loaded from the system folder by its full path; null when it is not there.
HMODULE LoadSystemLibrary(const char* name);
