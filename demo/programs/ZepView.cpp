// ZEP Viewer of the demo product: a window that says what it is and which
// core it found.
#include <windows.h>

#include <string>

extern "C" __declspec(dllimport) const char* ZepCoreText();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string text = std::string("ZEP Viewer 2.1\n\nRunning on ") + ZepCoreText() + ".";
    ::MessageBoxA(nullptr, text.c_str(), "ZEP Viewer", MB_OK | MB_ICONINFORMATION);
    return 0;
}
