// The demo product's core library. The viewer and the tool ask it for the
// product's name, so neither starts without the Core component beside it:
// the dependency in the catalogue is a real one.
#include <windows.h>

extern "C" __declspec(dllexport) const char* ZepCoreText() { return "ZEP Core 2.1 (demonstration build)"; }
