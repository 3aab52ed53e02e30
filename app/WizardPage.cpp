#include "app/WizardPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "framework/Dpi.h"
#include "res/resource.h"

namespace {

constexpr int kTitleHeight = -27;

}  // namespace

BOOL CreateHeadingFont(CFont& font, int height, int weight, UINT dpi) {
    return font.CreateFont(ScaledLength(height, dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

CWizardPage::CWizardPage(UINT nIDTemplate, int nTitleId, UINT nStartMessage, PageStart startOn)
    : CPropertyPage(nIDTemplate), m_nTitleId(nTitleId), m_nStartMessage(nStartMessage), m_startOn(startOn) {
    CreateHeadingFont(m_fontTitle, kTitleHeight, FW_BOLD);
}

CSidePicture::~CSidePicture() {
    if (m_hBitmap) ::DeleteObject(m_hBitmap);
}

// The control keeps no picture it was given: the one it had is deleted here,
// also the one it loaded from the template itself.
void CSidePicture::Show(HWND hPage) {
    const UINT nID = PictureForDpi(IDB_SIDE_PICTURE, WindowDpi(hPage));
    const auto hBitmap =
        static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nID), IMAGE_BITMAP, 0, 0, 0));
    if (!hBitmap) return;
    const auto hOld = reinterpret_cast<HBITMAP>(
        ::SendDlgItemMessageA(hPage, IDC_SIDE_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    if (hOld) ::DeleteObject(hOld);
    m_hBitmap = hBitmap;
}

BOOL LoadStateImages(CImageList& images, HWND hWnd) {
    const UINT dpi = WindowDpi(hWnd);
    return images.LoadBitmapImages(PictureForDpi(IDB_STATE_IMAGES, dpi), PictureLength(15, dpi), RGB(255, 0, 255));
}

void CWizardPage::ShowPictures() {
    m_sidePicture.Show(m_hWnd);
    CreateHeadingFont(m_fontTitle, kTitleHeight, FW_BOLD, WindowDpi(m_hWnd));
    SetDlgItemFont(m_nTitleId, m_fontTitle);
}

BOOL CWizardPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    ShowPictures();
    if (m_nStartMessage && m_startOn == PageStart::Creation) PostMessage(m_nStartMessage);
    return TRUE;
}

// The start message is posted before the framework's activation, so the work
// runs once the page is visible.
BOOL CWizardPage::OnSetActive() {
    theApp.m_log.Write("Page: " + GetDlgItemText(m_nTitleId));
    if (m_nStartMessage && m_startOn == PageStart::EveryActivation) PostMessage(m_nStartMessage);
    return CPropertyPage::OnSetActive();
}

BOOL CWizardPage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg == WM_DPICHANGED_AFTERPARENT)
        ShowPictures();
    else if (m_nStartMessage != 0 && msg == m_nStartMessage)
        OnPageStart();
    else
        return FALSE;
    result = 0;
    return TRUE;
}

bool CWizardPage::s_bEndingWizard = false;

void CWizardPage::EndWizard() const {
    s_bEndingWizard = true;
    ::PostMessageA(GetParent(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void CWizardPage::EndPassiveRun(int nExitCode, const std::string& why) const {
    theApp.m_log.Write(why);
    theApp.m_nPassiveEndCode = nExitCode;
    EndWizard();
}

BOOL CWizardPage::OnQueryCancel() {
    if (s_bEndingWizard) {
        s_bEndingWizard = false;
        return TRUE;
    }
    switch (CancelRuleFor(int(m_nIDTemplate), theApp.m_nToInstall)) {
    case CancelRule::Ask:
        return MessageBox("Setup process is incomplete.\nAre you sure you want to cancel ?", MB_YESNO) == IDYES;
    case CancelRule::Refuse:
        return FALSE;
    case CancelRule::Close:
        break;
    }
    return TRUE;
}

// A wizard that a page let finish ended as the user wanted, not cancelled.
BOOL CWizardPage::OnNotify(NMHDR* pHdr, LRESULT& result) {
    const BOOL bHandled = CPropertyPage::OnNotify(pHdr, result);
    if (bHandled && pHdr->code == PSN_WIZFINISH && result == FALSE) theApp.m_bWizardFinished = true;
    return bHandled;
}
