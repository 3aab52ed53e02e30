// Where to install: the recommended folder or one the user names.
#pragma once
#include "framework/Dialog.h"

#include <string>

// One object serves every showing, so that the last choice is offered again.
// OK stores the destination in theApp and the registry.
class CDestinationDlg : public CDialog {
public:
    explicit CDestinationDlg(HWND hParent = nullptr);

    HWND m_btnRecommended = nullptr;
    std::string m_strFolder;
    // 0 the recommended folder, 1 m_strFolder.
    int m_nChoice = 0;
    // The install folder as it stood when the object was made.
    std::string m_strRecommended;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(WORD id, WORD code, HWND hCtl) override;

private:
    // UpdateData(TRUE) that also reports whether the folder passed.
    bool SaveAndValidate();
    bool IsUsableFolder() const;
    void ApplyChoice();
    void Browse();

    bool m_bFolderValid = true;
};
