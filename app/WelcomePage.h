// The first page: the product's name in large type and what the wizard does.
#pragma once
#include "app/WizardPage.h"

class CWelcomePage : public CPropertyPage {
public:
    CWelcomePage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The picture and headings for the DPI of the page's monitor.
    void ShowPictures();

    CFont m_fontTitle;
    CFont m_fontSubtitle;
    CSidePicture m_sidePicture;
};
