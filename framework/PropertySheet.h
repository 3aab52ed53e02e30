// Property pages and a property sheet over comctl32's PropertySheet, used in
// wizard mode. Back/Next handlers may redirect to a page by its dialog
// template number.
#pragma once
#include "framework/Dialog.h"

#include <vector>

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT nIDTemplate) : CDialog(nIDTemplate) {}

    virtual BOOL OnSetActive();
    virtual BOOL OnKillActive();
    // 0: the neighbouring page; -1: stay; otherwise a dialog template number.
    virtual LRESULT OnWizardBack() { return 0; }
    virtual LRESULT OnWizardNext() { return 0; }
    virtual BOOL OnWizardFinish() { return TRUE; }
    // TRUE lets the wizard close.
    virtual BOOL OnQueryCancel() { return TRUE; }
    // The wizard closes as cancelled; every page made so far is told.
    void OnCancel() override {}

    // Button changes take effect after the current handler returns.
    void PostWizardButtons(DWORD flags) const;
    void PressNextButton() const;

    PROPSHEETPAGEA m_psp{};

protected:
    BOOL OnNotify(NMHDR* pHdr, LRESULT& result) override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool m_bFirstSetActive = true;
};

class CPropertySheet : public CWnd {
public:
    CPropertySheet(UINT nIDCaption, HWND hParent = nullptr, UINT iSelectPage = 0);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* pPage) { m_pages.push_back(pPage); }
    int GetPageCount() const { return (int)m_pages.size(); }
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    // The sheet's result; -1 when the sheet or a page could not be created.
    INT_PTR DoModal();

    PROPSHEETHEADERA m_psh{};

protected:
    // Called once the sheet window exists, before the first page is shown.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual BOOL OnPaint() { return FALSE; }
    virtual BOOL OnQueryDragIcon(HICON& icon) { return FALSE; }
    virtual BOOL OnTimer(UINT_PTR /*id*/) { return FALSE; }
    // The sheet moved to a monitor of another DPI; the platform then resizes it.
    virtual void OnDpiChanged() {}
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) const {
        return ::CallWindowProcA(m_prevProc, m_hWnd, msg, wParam, lParam);
    }

private:
    static int CALLBACK SheetCallback(HWND hWnd, UINT msg, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::vector<CPropertyPage*> m_pages;
    std::string m_strCaption;
    WNDPROC m_prevProc = nullptr;
    bool m_bWindowMade = false;
};
