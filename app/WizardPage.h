// What every page after the Welcome page shares: the bold heading font on
// its title control and the wizard's answer to Cancel.
#pragma once
#include "framework/Font.h"
#include "framework/PropertySheet.h"

// Private messages of the pages.
constexpr UINT WM_QUEUE_PROGRESS = WM_USER + 256;  // default queue callback: one file copied
constexpr UINT WM_PAGE_START = WM_USER + 257;      // page to itself: start the page's work
constexpr UINT WM_PAGE_REFRESH = WM_USER + 259;    // Components page to itself: refresh the list

class CWizardPage : public CPropertyPage {
public:
    CWizardPage(UINT nIDTemplate, int nTitleId);

protected:
    BOOL OnInitDialog() override;
    BOOL OnQueryCancel() override;

    CFont m_fontTitle;

private:
    int m_nTitleId;
};
