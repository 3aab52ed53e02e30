#include "download/DownloadingPage.h"

#include "app/PageFlow.h"
#include "app/SetupApp.h"
#include "res/resource.h"
#include "select/SizeText.h"

CDownloadingPage::CDownloadingPage() : CWizardPage(IDD_DOWNLOADING, IDC_DOWNLOADING_TITLE, WM_PAGE_START) {}

BOOL CDownloadingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_progress = CProgressCtrl(GetDlgItem(IDC_DOWNLOADING_PROGRESS));
    m_animate = CAnimateCtrl(GetDlgItem(IDC_DOWNLOADING_ANIMATION));
    m_animate.Open(IDR_DOWNLOAD_CLIP);
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "");
    SetDlgItemText(IDC_DOWNLOADING_FILE, "");
    return TRUE;
}

BOOL CDownloadingPage::OnSetActive() {
    PostWizardButtons(DownloadingButtons(theApp.m_nDownloadOnly));
    return CWizardPage::OnSetActive();
}

// The transfer worker comes with the HTTP transfer; until then a pass has
// nothing to fetch and ends at once.
void CDownloadingPage::OnPageStart() {
    m_progress.SetRange64(0);
    SetDlgItemText(IDC_DOWNLOADING_BYTES, FormatSizeK(0) + "  of  " + FormatSizeK(0));
    SetDlgItemText(IDC_DOWNLOADING_TIME, "");
    EndPass();
}

void CDownloadingPage::EndPass() {
    m_animate.Stop();
    SetDlgItemText(IDC_DOWNLOADING_COMPONENT, "Download complete.");
    for (int id : {IDC_DOWNLOADING_FILE_LABEL, IDC_DOWNLOADING_FILE, IDC_DOWNLOADING_ANIMATION,
                   IDC_DOWNLOADING_TIME_LABEL, IDC_DOWNLOADING_TIME})
        ShowDlgItem(id, SW_HIDE);
    if (theApp.m_nDownloadOnly == 1)
        PostWizardButtons(PSWIZB_FINISH);
    else
        PressNextButton();
}
