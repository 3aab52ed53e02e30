#include "framework/Dialog.h"

#include <cstdlib>

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
    HWND item = ::GetDlgItem(pDX->m_hDlg, nIDC);
    if (!item) return;
    if (pDX->m_bSaveAndValidate) {
        int length = ::GetWindowTextLengthA(item);
        std::string text(length + 1, '\0');
        ::GetWindowTextA(item, &text[0], length + 1);
        text.resize(length);
        value = text;
    } else {
        ::SetWindowTextA(item, value.c_str());
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    std::string text;
    if (!pDX->m_bSaveAndValidate) text = std::to_string(value);
    DDX_Text(pDX, nIDC, text);
    if (pDX->m_bSaveAndValidate) value = std::atoi(text.c_str());
}

static bool IsRadioButton(HWND hCtl) {
    char className[16] = "";
    ::GetClassNameA(hCtl, className, sizeof className);
    if (lstrcmpiA(className, "Button") != 0) return false;
    LONG type = ::GetWindowLongA(hCtl, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND hCtl = ::GetDlgItem(pDX->m_hDlg, nIDC);
    if (pDX->m_bSaveAndValidate) value = -1;
    for (int index = 0; hCtl && IsRadioButton(hCtl); ++index) {
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageA(hCtl, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageA(hCtl, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        hCtl = ::GetWindow(hCtl, GW_HWNDNEXT);
        if (hCtl && (::GetWindowLongA(hCtl, GWL_STYLE) & WS_GROUP)) break;
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hCtl = ::GetDlgItem(pDX->m_hDlg, nIDC);
    if (!hCtl) return;
    if (pDX->m_bSaveAndValidate)
        value = (int)::SendMessageA(hCtl, BM_GETCHECK, 0, 0);
    else
        ::SendMessageA(hCtl, BM_SETCHECK, value, 0);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(m_hWnd, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), m_hParent,
                             DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (code != BN_CLICKED) return FALSE;
    if (id == IDOK) { OnOK(); return TRUE; }
    if (id == IDCANCEL) { OnCancel(); return TRUE; }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CDialog*>(lParam);
        pThis->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    }
    auto* pThis = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    return pThis ? Dispatch(pThis, hWnd, msg, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(CDialog* pThis, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        LRESULT result = 0;
        switch (msg) {
        case WM_INITDIALOG:
            return pThis->OnInitDialog();
        case WM_COMMAND:
            return pThis->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_NOTIFY:
            if (!pThis->OnNotify(reinterpret_cast<NMHDR*>(lParam), result)) return FALSE;
            ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        case WM_TIMER:
            return pThis->OnTimer(wParam);
        case WM_SETCURSOR:
            if (!pThis->OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam))) return FALSE;
            ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORDLG: {
            HBRUSH brush = nullptr;
            if (!pThis->OnCtlColor(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), brush))
                return FALSE;
            return reinterpret_cast<INT_PTR>(brush);
        }
        case WM_DESTROY:
            pThis->OnDestroy();
            return FALSE;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
            pThis->m_hWnd = nullptr;
            return FALSE;
        default:
            if (!pThis->OnMessage(msg, wParam, lParam, result)) return FALSE;
            ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    } catch (...) {
        // A handler that throws is a bug; the window must still survive it.
        return FALSE;
    }
}
