#include "app/FolderBrowser.h"

#include <shlobj.h>

namespace {

struct BrowseState {
    const std::function<std::string()>& startFolder;
    // The browser reads the posted path later, so it must outlive the callback.
    std::string start;
};

// Runs inside the shell's message loop: nothing may be thrown out of it.
int CALLBACK BrowseCallback(HWND hBrowser, UINT msg, LPARAM, LPARAM data) {
    if (msg != BFFM_INITIALIZED) return 0;
    auto* state = reinterpret_cast<BrowseState*>(data);
    try {
        state->start = state->startFolder();
        ::PostMessageA(hBrowser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(state->start.c_str()));
    } catch (...) {
        // The browser then simply opens at its own default folder.
    }
    return 0;
}

}  // namespace

bool BrowseForFolder(HWND owner, const char* title, const std::function<std::string()>& startFolder,
                     std::string& chosen) {
    BrowseState state{startFolder, {}};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    LPITEMIDLIST pidl = ::SHBrowseForFolderA(&info);
    if (!pidl) return false;
    char path[MAX_PATH] = "";
    const bool picked = ::SHGetPathFromIDListA(pidl, path) != FALSE;
    if (picked) chosen = path;
    IMalloc* pMalloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&pMalloc))) {
        pMalloc->Free(pidl);
        pMalloc->Release();
    }
    return picked;
}
