// The region and the download site to fetch the package files from.
#pragma once
#include "app/WizardPage.h"
#include "framework/Controls.h"

class CChooseSitePage : public CWizardPage {
public:
    CChooseSitePage();

protected:
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;

private:
    CListViewCtrl SiteList() const;
};
