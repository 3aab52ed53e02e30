#include "select/RemovingPage.h"

#include "app/PageFlow.h"
#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "install/InstallLog.h"
#include "install/PackageInfo.h"
#include "res/resource.h"
#include "select/ComponentStates.h"

CRemovingPage::CRemovingPage() : CWizardPage(IDD_REMOVING, IDC_REMOVING_TITLE, WM_PAGE_START) {}

BOOL CRemovingPage::OnInitDialog() {
    CWizardPage::OnInitDialog();
    SetDlgItemText(IDC_REMOVING_COMPONENT, "");
    SetDlgItemText(IDC_REMOVING_FILE, "");
    SetDlgItemText(IDC_REMOVING_HINT, "");
    return TRUE;
}

BOOL CRemovingPage::OnSetActive() {
    PostWizardButtons(0);
    return CWizardPage::OnSetActive();
}

LRESULT CRemovingPage::OnWizardNext() { return IDD_PREPARING; }

void CRemovingPage::OnPageStart() { RemoveSelectedComponents(); }

void CRemovingPage::ShowProgressLines(int nCmdShow) const {
    for (int id : {IDC_REMOVING_COMPONENT_LABEL, IDC_REMOVING_FILE_LABEL, IDC_REMOVING_FILE, IDC_REMOVING_COMPONENT})
        ShowDlgItem(id, nCmdShow);
}

// The catalogue yields its newest key first, so components are removed in
// the reverse of catalogue order.
void CRemovingPage::RemoveSelectedComponents() {
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Removing selected components...");
    SetDlgItemText(IDC_REMOVING_HINT, "");
    SetDlgItemText(IDC_REMOVING_FILE, "");
    ShowProgressLines(SW_SHOWNA);
    for (auto& entry : theApp.m_mapComponents)
        if (entry.second->m_nAction == ACTION_REMOVE) RemoveComponent(entry.first, entry.second);
    SetDlgItemText(IDC_REMOVING_PROGRESS, "Components removing complete.");
    SetDlgItemText(IDC_REMOVING_HINT, RemovalDoneHint(theApp.m_nToInstall));
    PostWizardButtons(RemovalDoneButtons(theApp.m_nToInstall));
    ShowProgressLines(SW_HIDE);
}

// The registry record goes also when no log could be read: the component
// then counts as removed.
int CRemovingPage::RemoveComponent(const std::string& key, CComponent* pComp) {
    SetDlgItemText(IDC_REMOVING_COMPONENT, pComp->m_strName);
    ::UpdateWindow(GetDlgItem(IDC_REMOVING_COMPONENT));
    RemoveLoggedFiles(key, pComp);
    const std::string recordKey = std::string(ZEP_CLIENT_KEY "\\") + key;
    std::string folder;
    if (ReadRegPath(recordKey.c_str(), "Path", kRegPathLimit, folder)) ::RemoveDirectoryA(folder.c_str());
    for (const char* name : {"Version", "Path", "DeIsLog"}) DeleteRegValue(recordKey.c_str(), name);
    DeleteRegKey(recordKey.c_str());
    pComp->m_nInstalledVersion = 0;
    pComp->m_nState = 0;
    pComp->m_nAction = ACTION_NONE;
    --theApp.m_nToRemove;
    --theApp.m_nInstalledCount;
    return 1;
}

// Folders go last, in the folder map's order; those not empty stay, and so
// does the program group while other components have shortcuts in it.
int CRemovingPage::RemoveLoggedFiles(const std::string& key, CComponent* pComp) {
    std::string logPath;
    if (!ReadRegPath((std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), "DeIsLog", kRegPathLimit, logPath)) return 0;
    CInstallLog log;
    if (!log.Open(logPath, CInstallLog::MODE_READ)) return 0;
    CIdMap<CInstallLogRecord> folders;
    CInstallLogRecord record;
    for (bool more = log.ReadFirstFolder(record); more; more = log.ReadNextFolder(record))
        folders.SetAt(record.m_nFolderId, new CInstallLogRecord(record));
    for (bool more = log.ReadFirstFile(record); more; more = log.ReadNextFile(record)) {
        const CInstallLogRecord* pFolder = folders.Lookup(record.m_nFolderId);
        // A name that would lead out of its folder is no file of the package.
        if (pFolder && !(record.m_nFlags & PKG_KEEP_ON_REMOVE) && IsPlainFileName(record.m_strText))
            DeleteShownFile(JoinPath(pFolder->m_strText, record.m_strText));
    }
    for (bool more = log.ReadFirstLink(record); more; more = log.ReadNextLink(record))
        DeleteShownFile(record.m_strText);
    log.Close();
    ::RemoveDirectoryA(JoinPath(theApp.m_strProgramsDir, theApp.m_strGroup).c_str());
    folders.ForEach([](int, const CInstallLogRecord* pFolder) {
        if (!(pFolder->m_nFlags & PKG_KEEP_ON_REMOVE)) ::RemoveDirectoryA(pFolder->m_strText.c_str());
    });
    return 1;
}

void CRemovingPage::DeleteShownFile(const std::string& path) const {
    SetDlgItemText(IDC_REMOVING_FILE, path);
    ::UpdateWindow(GetDlgItem(IDC_REMOVING_FILE));
    ::DeleteFileA(path.c_str());
}
