// A thin window-object layer over plain Win32: the base of every dialog,
// property page and property sheet of the program.
#pragma once
#include <windows.h>
#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::string& text) const;
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    BOOL EnableDlgItem(int id, BOOL enable) const { return ::EnableWindow(GetDlgItem(id), enable); }
    void ShowDlgItem(int id, int nCmdShow) const { ::ShowWindow(GetDlgItem(id), nCmdShow); }
    void SetDlgItemFont(int id, HFONT font) const {
        ::SendMessageA(GetDlgItem(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, msg, wParam, lParam);
    }
    // A window's own message box: the program's name as the caption, no icon
    // unless the caller asks for one.
    int MessageBox(const std::string& text, UINT type = MB_OK) const;
};
