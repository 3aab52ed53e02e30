// The first page: the product's name in large type and what the wizard does.
#pragma once
#include "framework/Font.h"
#include "framework/PropertySheet.h"

class CWelcomePage : public CPropertyPage {
public:
    CWelcomePage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;

    CFont m_fontTitle;
    CFont m_fontSubtitle;
};
