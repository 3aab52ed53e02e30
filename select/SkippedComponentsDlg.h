// The components a run leaves out because their package info or files are missing.
#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"

class CSkippedComponentsDlg : public CDialog {
public:
    explicit CSkippedComponentsDlg(HWND hParent = nullptr);

    // 0: package info missing, 2: package files not downloaded; set before DoModal.
    int m_nListMode = 0;

protected:
    BOOL OnInitDialog() override;

private:
    CListViewCtrl m_list;
};
