#include "download/DownloadingPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"
#include "select/SizeText.h"

#include <commctrl.h>

CDownloadingPage::CDownloadingPage() : CWizardPage(IDD_DOWNLOADING, IDC_DOWNLOADING_TITLE) {}

BOOL CDownloadingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    ::SendMessageA(GetDlgItem(IDC_DOWNLOADING_ANIMATION), ACM_OPENA, 0, IDR_DOWNLOAD_CLIP);
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "");
    SetDlgItemText(IDC_DOWNLOADING_FILE, "");
    return TRUE;
}

BOOL CDownloadingPage::OnSetActive() {
    PostWizardButtons(DownloadingButtons(theApp.m_nDownloadOnly));
    PostMessage(WM_PAGE_START);
    return CWizardPage::OnSetActive();
}

BOOL CDownloadingPage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != WM_PAGE_START) return FALSE;
    StartPass();
    result = 0;
    return TRUE;
}

// The transfer worker comes with the HTTP transfer; until then a pass has
// nothing to fetch and ends at once.
void CDownloadingPage::StartPass() {
    ::SendMessageA(GetDlgItem(IDC_DOWNLOADING_PROGRESS), PBM_SETRANGE32, 0, 0);
    SetDlgItemText(IDC_DOWNLOADING_BYTES, FormatSizeK(0) + "  of  " + FormatSizeK(0));
    SetDlgItemText(IDC_DOWNLOADING_TIME, "");
    EndPass();
}

void CDownloadingPage::EndPass() {
    ::SendMessageA(GetDlgItem(IDC_DOWNLOADING_ANIMATION), ACM_STOP, 0, 0);
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "Download complete.");
    for (int id : {IDC_DOWNLOADING_FILE_LABEL, IDC_DOWNLOADING_FILE, IDC_DOWNLOADING_ANIMATION,
                   IDC_DOWNLOADING_TIME_LABEL, IDC_DOWNLOADING_TIME})
        ShowDlgItem(id, SW_HIDE);
    if (theApp.m_nDownloadOnly == 1)
        PostWizardButtons(PSWIZB_FINISH);
    else
        PressNextButton();
}
