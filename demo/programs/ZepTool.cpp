// ZEP Tool of the demo product: a console program that reports itself, the
// core it loaded and where the setup wizard recorded the installation.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllimport) const char* ZepCoreText();

int main() {
    char folder[MAX_PATH] = "";
    DWORD size = sizeof folder;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORBEL\\ZEP\\Client\\Tools", "Path", RRF_RT_REG_SZ, nullptr,
                       folder, &size) != ERROR_SUCCESS)
        lstrcpyA(folder, "(not recorded)");
    std::printf("ZEP Tool 1.4 on %s, installed in %s\n", ZepCoreText(), folder);
    return 0;
}
