#include "app/SetupWizard.h"

#include "framework/WinApp.h"
#include "res/resource.h"

CSetupWizard::CSetupWizard(UINT iSelectPage)
    : CPropertySheet(IDS_WIZARD_CAPTION, nullptr, iSelectPage),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

BOOL CSetupWizard::OnInitDialog() {
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    // Message boxes of the application are owned by the wizard from now on.
    if (CWinApp* app = AfxGetApp()) app->m_hMainWnd = m_hWnd;
    return TRUE;
}

// A minimised wizard shows the program's icon, centred.
BOOL CSetupWizard::OnPaint() {
    if (!::IsIconic(m_hWnd)) return FALSE;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return TRUE;
}

BOOL CSetupWizard::OnQueryDragIcon(HICON& icon) {
    icon = m_hIcon;
    return TRUE;
}
