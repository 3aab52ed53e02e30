// The shell's folder browser, shared by every page and dialog that asks for a folder.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Shows the browser over owner, opening at the folder startFolder names once
// the browser is up; if startFolder throws, the browser opens at its default.
// True, with chosen set, when the user picked a file-system folder.
bool BrowseForFolder(HWND owner, const char* title, const std::function<std::string()>& startFolder,
                     std::string& chosen);
