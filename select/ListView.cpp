#include "select/ListView.h"

#include "res/resource.h"

HIMAGELIST LoadStateImages() {
    return ::ImageList_LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_STATE_IMAGES), 15, 1,
                                  RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

void InsertListColumn(HWND list, int index, const char* heading, int format, int width) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

int ListClientWidth(HWND list) {
    RECT client{};
    ::GetClientRect(list, &client);
    return client.right - client.left;
}
