// A DLL that someone left beside a setup program under a system DLL's name:
// loading it leaves a marker file beside it, NAME.dll.loaded.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = "";
    if (::GetModuleFileNameA(instance, path, MAX_PATH) == 0) return TRUE;
    HANDLE marker = ::CreateFileA((std::string(path) + ".loaded").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    return TRUE;
}
