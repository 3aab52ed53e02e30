// The wizard frame: a modal property sheet in wizard mode with the
// program's icon.
#pragma once
#include "framework/PropertySheet.h"

class CSetupWizard : public CPropertySheet {
public:
    explicit CSetupWizard(UINT iSelectPage = 0);

    HICON m_hIcon;

protected:
    BOOL OnInitDialog() override;
    BOOL OnPaint() override;
    BOOL OnQueryDragIcon(HICON& icon) override;
    BOOL OnTimer(UINT_PTR id) override;
};
