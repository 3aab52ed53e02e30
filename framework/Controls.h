// Thin wrappers of the common controls the pages use. Each holds nothing but
// the control's window handle, and each operation is one message to it.
#pragma once
#include "framework/WorkerThread.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <initializer_list>
#include <string>

// An image list built from a bitmap of the program, freed by its owner. The
// list views that show it are created with LVS_SHAREIMAGELISTS, so that they
// never free it themselves, also when a page detaches it.
class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Images cx pixels wide from a bitmap resource; mask is its background colour.
    BOOL LoadBitmapImages(UINT nIDBitmap, int cx, COLORREF mask);
    void DeleteImageList();
    operator HIMAGELIST() const { return m_hImageList; }

    HIMAGELIST m_hImageList = nullptr;
};

// One column of a report list: heading, LVCFMT_ alignment, width in pixels.
struct CListColumn {
    const char* pszHeading;
    int nFormat;
    int nWidth;
};

class CListViewCtrl {
public:
    explicit CListViewCtrl(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    int GetClientWidth() const;
    void SetExtendedStyle(DWORD style) const { ListView_SetExtendedListViewStyleEx(m_hWnd, style, style); }
    void SetStateImageList(HIMAGELIST hImages) const { ListView_SetImageList(m_hWnd, hImages, LVSIL_STATE); }
    // The columns in table order, the first at index 0.
    void InsertColumns(std::initializer_list<CListColumn> columns) const;

    // Inserts a row at index with the text of its first column and its item
    // data; returns the row's index, -1 on failure.
    int InsertItem(int index, const std::string& text, LPARAM data) const;
    void SetItemText(int item, int subItem, const std::string& text) const;
    // Image numbers count from 1; 0 shows no image.
    void SetStateImage(int item, int image) const {
        ListView_SetItemState(m_hWnd, item, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK);
    }
    int GetStateImage(int item) const { return int(ListView_GetItemState(m_hWnd, item, LVIS_STATEIMAGEMASK) >> 12); }
    LPARAM GetItemData(int item) const;
    // The row whose item data is data, -1 when none has it.
    int FindItemByData(LPARAM data) const;
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    // The first selected row, -1 when none is.
    int GetSelectedItem() const { return ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED); }
    void SelectItem(int item) const {
        ListView_SetItemState(m_hWnd, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    BOOL DeleteAllItems() const { return ListView_DeleteAllItems(m_hWnd); }

    HWND m_hWnd;
};

class CComboBox {
public:
    explicit CComboBox(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    void ResetContent() const { ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0); }
    // The text's position, CB_ERR or CB_ERRSPACE on failure.
    int InsertString(int index, const std::string& text) const {
        return int(::SendMessageA(m_hWnd, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void SetCurSel(int index) const { ::SendMessageA(m_hWnd, CB_SETCURSEL, index, 0); }
    int GetCount() const { return int(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0)); }
    // The selected position, CB_ERR (-1) when none is.
    int GetCurSel() const { return int(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0)); }
    void SetItemData(int index, LPARAM data) const { ::SendMessageA(m_hWnd, CB_SETITEMDATA, index, data); }
    LPARAM GetItemData(int index) const { return ::SendMessageA(m_hWnd, CB_GETITEMDATA, index, 0); }

    HWND m_hWnd;
};

// Holds a list view's drawing while its rows are filled and draws it once
// when it goes: a shown list otherwise updates and repaints its scroll bar at
// every row, which under Wine costs milliseconds a row.
class CListFill {
public:
    explicit CListFill(const CListViewCtrl& list) : m_hWnd(list.m_hWnd) {
        ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    }
    ~CListFill() {
        ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    CListFill(const CListFill&) = delete;
    CListFill& operator=(const CListFill&) = delete;

private:
    HWND m_hWnd;
};

// Lists whose rows are chosen by their state-image boxes and never show a row
// selected. For a notification of such a list: the row to toggle, else -1.
// That is the row of a click or double click (NM_CLICK, NM_DBLCLK) within
// the box's 16 pixels at the list's left edge or, with old common controls
// (bOldControls), which tell no click position, the row a click would select.
// result is the answer: 1 refuses a change that would select a whole row.
int BoxListNotify(const NMHDR* pHdr, bool bOldControls, LRESULT& result);

// A count shown on a progress bar, whose range is a 32-bit int: counts up to
// INT_MAX are shown as they are; larger totals (bytes of more than 2 GB) are
// scaled down by the same power of two as every count against them.
int ScaleProgress(int64_t value, int64_t total);

class CProgressCtrl {
public:
    explicit CProgressCtrl(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    // PBM_SETRANGE32: ranges beyond the 65,535 of the old message.
    void SetRange32(int lower, int upper) const { ::SendMessageA(m_hWnd, PBM_SETRANGE32, lower, upper); }
    int SetPos(int pos) const { return int(::SendMessageA(m_hWnd, PBM_SETPOS, pos, 0)); }
    int GetPos() const { return int(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }
    void SetStep(int step) const { ::SendMessageA(m_hWnd, PBM_SETSTEP, step, 0); }
    void StepIt() const { ::SendMessageA(m_hWnd, PBM_STEPIT, 0, 0); }
    // Range 0 to total, and a position against it, for 64-bit counts.
    void SetRange64(int64_t total) const { SetRange32(0, ScaleProgress(total, total)); }
    void SetPos64(int64_t done, int64_t total) const { SetPos(ScaleProgress(done, total)); }
    // What a worker has done so far, against its total.
    void ShowProgress(const CWorkerProgress& progress) const {
        const int64_t total = progress.m_nTotal;
        SetRange64(total);
        SetPos64(progress.m_nDone, total);
    }

    HWND m_hWnd;
};

// A bar moved only when its drawn length changes, and at both its ends:
// each move repaints it (about 0.9 ms under Wine), and a queue of thousands
// of files would otherwise repaint it at every one.
class CPixelProgress {
public:
    void Attach(HWND hWnd) { m_bar = CProgressCtrl(hWnd); }
    // Range 0 to total (32-bit), at 0.
    void SetRange(int total);
    void SetPos(int pos);
    int GetPos() const { return m_nPos; }
    HWND Handle() const { return m_bar.m_hWnd; }

private:
    CProgressCtrl m_bar;
    int m_nTotal = 0;
    int m_nWidth = 0;
    int m_nPos = 0;
    int m_nShownPos = -1;
    int64_t m_nShownPixel = -1;
};

class CAnimateCtrl {
public:
    explicit CAnimateCtrl(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    // A clip from the program's resources.
    BOOL Open(UINT nIDClip) const { return BOOL(::SendMessageA(m_hWnd, ACM_OPENA, 0, nIDClip)); }
    // Every frame, over and over.
    BOOL PlayLooped() const { return BOOL(::SendMessageA(m_hWnd, ACM_PLAY, WPARAM(-1), MAKELPARAM(0, 0xFFFF))); }
    BOOL Stop() const { return BOOL(::SendMessageA(m_hWnd, ACM_STOP, 0, 0)); }

    HWND m_hWnd;
};
