#include "framework/SystemLibrary.h"

#include <string>

void RestrictDllSearchToSystem() {
    // Looked up, not imported: systems before Windows 7 lack the call, and
    // there the program still starts.
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDirectories = reinterpret_cast<SetDirectoriesFn>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH] = "";
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return ::LoadLibraryA((std::string(folder) + "\\" + name).c_str());
}
