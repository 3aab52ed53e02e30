// Modal dialogs and the data exchange between dialog controls and members.
#pragma once
#include "framework/Wnd.h"

#include <commctrl.h>

// Direction and target of one data exchange; DDX_ functions read controls
// into members (save) or write members into controls.
class CDataExchange {
public:
    CDataExchange(HWND hDlg, BOOL bSaveAndValidate) : m_hDlg(hDlg), m_bSaveAndValidate(bSaveAndValidate) {}
    HWND m_hDlg;
    BOOL m_bSaveAndValidate;
};

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// nIDC is the first button of a radio group; the group runs until the next
// control that starts a group. value is the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

// A dialog object bound to a dialog template. Messages arrive at one
// dispatcher that calls one On… handler per message; no C++ exception ever
// leaves it.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, HWND hParent = nullptr) : m_nIDTemplate(nIDTemplate), m_hParent(hParent) {}

    INT_PTR DoModal();
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT m_nIDTemplate;
    HWND m_hParent;

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Returns TRUE when the command was handled.
    virtual BOOL OnCommand(WORD id, WORD code, HWND hCtl);
    // Returns TRUE when handled; result then holds the notification's answer.
    virtual BOOL OnNotify(NMHDR* pHdr, LRESULT& result) { return FALSE; }
    virtual BOOL OnTimer(UINT_PTR id) { return FALSE; }
    virtual BOOL OnSetCursor(HWND hWnd, UINT hitTest, UINT msg) { return FALSE; }
    virtual BOOL OnCtlColor(UINT msg, HDC hdc, HWND hCtl, HBRUSH& brush) { return FALSE; }
    virtual void OnDestroy() {}
    // Messages without a handler of their own, such as private page messages.
    // Returns TRUE when handled.
    virtual BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) { return FALSE; }

    // The dispatcher shared by dialogs and property pages; pThis is already bound.
    static INT_PTR Dispatch(CDialog* pThis, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
