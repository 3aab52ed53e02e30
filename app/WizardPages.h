// The ten pages of the wizard, constructed together and added to the sheet
// in the wizard's fixed order; Back/Next redirects rely on that order.
#pragma once
#include "app/WelcomePage.h"
#include "download/ChooseSitePage.h"
#include "download/DownloadingPage.h"
#include "install/InstallingPage.h"
#include "pages/FinishPage.h"
#include "pages/InstallOrDownloadPage.h"
#include "pages/LicensePage.h"
#include "select/ComponentsPage.h"
#include "select/PreparingPage.h"
#include "select/RemovingPage.h"

class CWizardPages {
public:
    // The Components page's place in that order.
    static constexpr unsigned kComponentsIndex = 3;

    void AddTo(CPropertySheet& sheet) {
        for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{
                 &m_welcome, &m_license, &m_installOrDownload, &m_components, &m_removing, &m_preparing,
                 &m_chooseSite, &m_downloading, &m_installing, &m_finish})
            sheet.AddPage(page);
    }

    CWelcomePage m_welcome;
    CLicensePage m_license;
    CInstallOrDownloadPage m_installOrDownload;
    CComponentsPage m_components;
    CRemovingPage m_removing;
    CPreparingPage m_preparing;
    CChooseSitePage m_chooseSite;
    CDownloadingPage m_downloading;
    CInstallingPage m_installing;
    CFinishPage m_finish;
};
