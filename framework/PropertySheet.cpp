#include "framework/PropertySheet.h"

#include "framework/Dpi.h"

BOOL CPropertyPage::OnSetActive() {
    // The first activation follows OnInitDialog, which has filled the controls.
    if (m_bFirstSetActive)
        m_bFirstSetActive = false;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }

void CPropertyPage::PostWizardButtons(DWORD flags) const {
    ::PostMessageA(GetParent(), PSM_SETWIZBUTTONS, 0, flags);
}

void CPropertyPage::PressNextButton() const {
    ::PostMessageA(GetParent(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

BOOL CPropertyPage::OnNotify(NMHDR* pHdr, LRESULT& result) {
    if (pHdr->hwndFrom != GetParent()) return FALSE;
    switch (pHdr->code) {
    case PSN_SETACTIVE: result = OnSetActive() ? 0 : -1; return TRUE;
    case PSN_KILLACTIVE: result = OnKillActive() ? FALSE : TRUE; return TRUE;
    case PSN_WIZBACK: result = OnWizardBack(); return TRUE;
    case PSN_WIZNEXT: result = OnWizardNext(); return TRUE;
    case PSN_WIZFINISH: result = OnWizardFinish() ? FALSE : TRUE; return TRUE;
    case PSN_QUERYCANCEL: result = OnQueryCancel() ? FALSE : TRUE; return TRUE;
    case PSN_RESET: OnCancel(); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pThis));
    }
    auto* pThis = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    return pThis ? Dispatch(pThis, hWnd, msg, wParam, lParam) : FALSE;
}

// PropertySheet's callback carries no user data; the sheet being created is
// handed over here. Sheets are modal and created on one thread.
static CPropertySheet* s_pSheetInCreation = nullptr;

CPropertySheet::CPropertySheet(UINT nIDCaption, HWND hParent, UINT iSelectPage) {
    char caption[256] = "";
    ::LoadStringA(::GetModuleHandleA(nullptr), nIDCaption, caption, sizeof caption);
    m_strCaption = caption;
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_USECALLBACK;
    m_psh.hwndParent = hParent;
    m_psh.hInstance = ::GetModuleHandleA(nullptr);
    m_psh.nStartPage = iSelectPage;
    m_psh.pfnCallback = SheetCallback;
}

CPropertySheet::~CPropertySheet() = default;

INT_PTR CPropertySheet::DoModal() {
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* pPage : m_pages) {
        PROPSHEETPAGEA& psp = pPage->m_psp;
        psp.dwSize = sizeof psp;
        psp.hInstance = m_psh.hInstance;
        psp.pszTemplate = MAKEINTRESOURCEA(pPage->m_nIDTemplate);
        psp.pfnDlgProc = CPropertyPage::PageProc;
        psp.lParam = reinterpret_cast<LPARAM>(pPage);
        pPage->m_bFirstSetActive = true;
        HPROPSHEETPAGE handle = ::CreatePropertySheetPageA(&psp);
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) ::DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    m_psh.pszCaption = m_strCaption.c_str();
    m_psh.nPages = (UINT)handles.size();
    m_psh.phpage = handles.data();
    m_bWindowMade = false;
    s_pSheetInCreation = this;
    INT_PTR result = ::PropertySheetA(&m_psh);
    s_pSheetInCreation = nullptr;
    m_hWnd = nullptr;
    // Wine answers 0, not -1, when the sheet's window cannot be made.
    return m_bWindowMade ? result : -1;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hWnd, UINT msg, LPARAM lParam) {
    CPropertySheet* pThis = s_pSheetInCreation;
    if (msg != PSCB_INITIALIZED || !pThis) return 0;
    pThis->m_bWindowMade = true;
    try {
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
        pThis->m_prevProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
        pThis->OnInitDialog();
    } catch (...) {
    }
    return 0;
}

LRESULT CALLBACK CPropertySheet::SheetProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* pThis = reinterpret_cast<CPropertySheet*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    try {
        switch (msg) {
        case PSM_PRESSBUTTON:
            // A modal dialog of a page (the wait dialog of a fetch) disables
            // the wizard; a press posted meanwhile would still leave the page
            // under it, and the next page could start a second fetch.
            if (!::IsWindowEnabled(hWnd)) return 0;
            break;
        case WM_PAINT:
            if (pThis->OnPaint()) return 0;
            break;
        case WM_TIMER:
            if (pThis->OnTimer(wParam)) return 0;
            break;
        case WM_DPICHANGED:
            pThis->OnDpiChanged();
            break;
        case WM_QUERYDRAGICON: {
            HICON icon = nullptr;
            if (pThis->OnQueryDragIcon(icon)) return reinterpret_cast<LRESULT>(icon);
            break;
        }
        case WM_NCDESTROY: {
            WNDPROC prev = pThis->m_prevProc;
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
            pThis->m_hWnd = nullptr;
            return ::CallWindowProcA(prev, hWnd, msg, wParam, lParam);
        }
        }
    } catch (...) {
    }
    return pThis->Default(msg, wParam, lParam);
}
