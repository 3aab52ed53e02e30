// The wizard frame: a modal property sheet in wizard mode with the
// program's icon.
#pragma once
#include "framework/PropertySheet.h"

class CSetupWizard : public CPropertySheet {
public:
    explicit CSetupWizard(UINT iSelectPage = 0);

    ~CSetupWizard() override;

    HICON m_hIcon;

protected:
    BOOL OnInitDialog() override;
    // The pages follow by themselves: each is told after the sheet.
    void OnDpiChanged() override { ShowIcons(); }
    BOOL OnPaint() override;
    BOOL OnQueryDragIcon(HICON& icon) override;
    BOOL OnTimer(UINT_PTR id) override;

private:
    // The title bar's and the task bar's icons, in the sizes that suit the
    // DPI of the wizard's monitor.
    void ShowIcons();
    HICON m_hBigIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};
