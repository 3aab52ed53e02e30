#include "select/DestinationDlg.h"

#include "app/FolderBrowser.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "res/resource.h"

CDestinationDlg::CDestinationDlg(HWND hParent)
    : CDialog(IDD_DESTINATION, hParent),
      m_strFolder(theApp.m_strInstallDir),
      m_strRecommended(theApp.m_strInstallDir) {}

// The framework's exchange cannot fail, so a rejected folder is recorded here
// and read back by SaveAndValidate.
void CDestinationDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_DESTINATION_FOLDER, m_strFolder);
    DDX_Radio(pDX, IDC_DESTINATION_RECOMMENDED, m_nChoice);
    if (!pDX->m_bSaveAndValidate) return;
    m_bFolderValid = m_nChoice != 1 || IsUsableFolder();
    if (m_bFolderValid) return;
    MessageBox("Invalid path was entered");
    // Posted: the edit field may still be disabled until the radio rule has run.
    PostMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_DESTINATION_FOLDER)), TRUE);
}

bool CDestinationDlg::SaveAndValidate() {
    UpdateData(TRUE);
    return m_bFolderValid;
}

// A folder that exists, or one that can be made: the trial leaves behind only
// the parents it created on the way. With a trailing backslash the trial would
// make the folder on its way and then fail as it already exists, keeping it.
bool CDestinationDlg::IsUsableFolder() const {
    std::string folder = m_strFolder;
    while (folder.size() > 1 && folder.back() == '\\' && folder[folder.size() - 2] != ':') folder.pop_back();
    if (theApp.CreateFolderPath(folder, true, true)) {
        ::RemoveDirectoryA(folder.c_str());
        return true;
    }
    // The trial also stops at a file on the way or at the end: only a folder there will do.
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL CDestinationDlg::OnInitDialog() {
    m_strFolder = theApp.m_strInstallDir;
    m_btnRecommended = GetDlgItem(IDC_DESTINATION_RECOMMENDED);
    CDialog::OnInitDialog();
    ::SetWindowTextA(m_btnRecommended, ("Install to " + m_strRecommended + " (Recommended)").c_str());
    ApplyChoice();
    return TRUE;
}

void CDestinationDlg::ApplyChoice() {
    SaveAndValidate();
    EnableDlgItem(IDC_DESTINATION_FOLDER, m_nChoice == 1);
    EnableDlgItem(IDC_DESTINATION_BROWSE, m_nChoice == 1);
}

void CDestinationDlg::Browse() {
    std::string folder;
    const auto current = [this] {
        SaveAndValidate();
        return m_strFolder;
    };
    if (BrowseForFolder(m_hWnd, "Select folder for installation", current, folder))
        SetDlgItemText(IDC_DESTINATION_FOLDER, folder);
}

void CDestinationDlg::OnOK() {
    if (!SaveAndValidate()) return;
    theApp.m_strInstallDir = m_nChoice == 1 ? m_strFolder : m_strRecommended;
    WriteRegString(ZEP_CLIENT_KEY, "Path", theApp.m_strInstallDir.c_str());
    EndDialog(IDOK);
}

BOOL CDestinationDlg::OnCommand(WORD id, WORD code, HWND hCtl) {
    if (code != BN_CLICKED) return CDialog::OnCommand(id, code, hCtl);
    switch (id) {
    case IDC_DESTINATION_RECOMMENDED:
    case IDC_DESTINATION_OTHER:
        ApplyChoice();
        return TRUE;
    case IDC_DESTINATION_BROWSE:
        Browse();
        return TRUE;
    default:
        return CDialog::OnCommand(id, code, hCtl);
    }
}
