// Small list-view helpers shared by the pages and dialogs with lists.
#pragma once
#include <windows.h>
#include <commctrl.h>

// The selection states strip (bitmap 131) as an image list; the caller
// destroys it once no list uses it any more.
HIMAGELIST LoadStateImages();
void InsertListColumn(HWND list, int index, const char* heading, int format, int width);
int ListClientWidth(HWND list);
