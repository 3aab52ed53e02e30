#include "app/SetupWizard.h"

#include "app/SetupApp.h"
#include "framework/Dpi.h"
#include "res/resource.h"

#include <tuple>

namespace {

const UINT_PTR kPassiveTimer = 1;
// Long enough for each page to be seen, short enough not to keep anyone waiting.
const UINT kPassiveStepMs = 700;
// The sheet's own Next and Finish buttons.
const int kNextButtonId = 0x3024, kFinishButtonId = 0x3025;

}  // namespace

CSetupWizard::CSetupWizard(UINT iSelectPage)
    : CPropertySheet(IDS_WIZARD_CAPTION, nullptr, iSelectPage),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CSetupWizard::~CSetupWizard() {
    for (HICON hIcon : {m_hBigIcon, m_hSmallIcon})
        if (hIcon) ::DestroyIcon(hIcon);
}

void CSetupWizard::ShowIcons() {
    const UINT dpi = WindowDpi(m_hWnd);
    for (auto [which, pIcon, size] : {std::tuple<WPARAM, HICON*, int>{ICON_BIG, &m_hBigIcon, 32},
                                      {ICON_SMALL, &m_hSmallIcon, 16}}) {
        const int length = ScaledLength(size, dpi);
        const auto hIcon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                           IMAGE_ICON, length, length, 0));
        if (!hIcon) continue;
        SendMessage(WM_SETICON, which, reinterpret_cast<LPARAM>(hIcon));
        if (*pIcon) ::DestroyIcon(*pIcon);
        *pIcon = hIcon;
    }
}

BOOL CSetupWizard::OnInitDialog() {
    ShowIcons();
    // Message boxes of the application are owned by the wizard from now on.
    if (CWinApp* app = AfxGetApp()) app->m_hMainWnd = m_hWnd;
    if (theApp.m_options.m_bPassive) ::SetTimer(m_hWnd, kPassiveTimer, kPassiveStepMs, nullptr);
    return TRUE;
}

// A passive run goes on by itself: whichever of Next and Finish the page
// offers is pressed, once no dialog of a page holds the wizard.
BOOL CSetupWizard::OnTimer(UINT_PTR id) {
    if (id != kPassiveTimer) return FALSE;
    if (!::IsWindowEnabled(m_hWnd)) return TRUE;
    for (const auto& [button, buttonId] :
         {std::pair<int, int>{PSBTN_NEXT, kNextButtonId}, {PSBTN_FINISH, kFinishButtonId}}) {
        const HWND hButton = ::GetDlgItem(m_hWnd, buttonId);
        if (hButton && ::IsWindowVisible(hButton) && ::IsWindowEnabled(hButton)) {
            ::PostMessageA(m_hWnd, PSM_PRESSBUTTON, button, 0);
            break;
        }
    }
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
