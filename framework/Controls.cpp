#include "framework/Controls.h"

#include <climits>

BOOL CImageList::LoadBitmapImages(UINT nIDBitmap, int cx, COLORREF mask) {
    DeleteImageList();
    m_hImageList = ::ImageList_LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nIDBitmap), cx, 1, mask,
                                          IMAGE_BITMAP, LR_CREATEDIBSECTION);
    return m_hImageList != nullptr;
}

void CImageList::DeleteImageList() {
    if (m_hImageList) ::ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
}

int CListViewCtrl::GetClientWidth() const {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    return client.right - client.left;
}

void CListViewCtrl::InsertColumns(std::initializer_list<CListColumn> columns) const {
    int index = 0;
    for (const CListColumn& column : columns) {
        LVCOLUMNA info{};
        info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        info.fmt = column.nFormat;
        info.cx = column.nWidth;
        info.pszText = const_cast<char*>(column.pszHeading);
        ::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&info));
    }
}

int CListViewCtrl::InsertItem(int index, const std::string& text, LPARAM data) const {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    return int(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void CListViewCtrl::SetItemText(int item, int subItem, const std::string& text) const {
    LVITEMA info{};
    info.iSubItem = subItem;
    info.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(m_hWnd, LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&info));
}

LPARAM CListViewCtrl::GetItemData(int item) const {
    LVITEMA info{};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    return ::SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info)) ? info.lParam : 0;
}

int CListViewCtrl::FindItemByData(LPARAM data) const {
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return int(::SendMessageA(m_hWnd, LVM_FINDITEMA, WPARAM(-1), reinterpret_cast<LPARAM>(&find)));
}

int BoxListNotify(const NMHDR* pHdr, bool bOldControls, LRESULT& result) {
    result = 0;
    if (pHdr->code == NM_CLICK || pHdr->code == NM_DBLCLK) {
        const auto* pClick = reinterpret_cast<const NMITEMACTIVATE*>(pHdr);
        return pClick->iItem >= 0 && pClick->ptAction.x <= 16 ? pClick->iItem : -1;
    }
    if (pHdr->code != LVN_ITEMCHANGING) return -1;
    const auto* pChange = reinterpret_cast<const NMLISTVIEW*>(pHdr);
    if (pChange->iSubItem != 0 || !(pChange->uChanged & LVIF_STATE) || !(pChange->uNewState & LVIS_SELECTED) ||
        (pChange->uOldState & LVIS_SELECTED))
        return -1;
    result = 1;
    return bOldControls ? pChange->iItem : -1;
}

int ScaleProgress(int64_t value, int64_t total) {
    int shift = 0;
    while ((total >> shift) > INT_MAX) ++shift;
    const int64_t scaled = value >> shift;
    return scaled < 0 ? 0 : scaled > INT_MAX ? INT_MAX : int(scaled);
}

void CPixelProgress::SetRange(int total) {
    m_nTotal = total;
    m_bar.SetRange32(0, total);
    RECT client{};
    ::GetClientRect(m_bar.m_hWnd, &client);
    m_nWidth = client.right - client.left;
    m_nShownPos = -1;
    SetPos(0);
}

void CPixelProgress::SetPos(int pos) {
    m_nPos = pos;
    const int64_t pixel = m_nTotal > 0 ? int64_t(pos) * m_nWidth / m_nTotal : 0;
    if (pos == m_nShownPos || (pixel == m_nShownPixel && pos != 0 && pos != m_nTotal)) return;
    m_nShownPos = pos;
    m_nShownPixel = pixel;
    m_bar.SetPos(pos);
}
