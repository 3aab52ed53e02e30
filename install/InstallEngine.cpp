#include "install/InstallEngine.h"

#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "framework/Controls.h"
#include "install/PackageFile.h"

#include <objbase.h>
#include <shlobj.h>

static std::string SystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
    char path[260] = "";
    query(path, sizeof path);
    return path;
}

void CSetupApp::ResolveFolders() {
    m_mapFolders.RemoveAll();
    m_mapFolders.SetAt("Target", m_strInstallDir);
    m_mapFolders.SetAt("System", SystemFolder(::GetSystemDirectoryA));
    m_mapFolders.SetAt("Windows", SystemFolder(::GetWindowsDirectoryA));
}

bool CSetupApp::CreateFolderPath(const std::string& path, bool parents) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    if (::GetLastError() != ERROR_PATH_NOT_FOUND || !parents) return false;
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return false;
    if (!CreateFolderPath(path.substr(0, slash), true)) return false;
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

HRESULT CSetupApp::CreateShortcut(const std::string& linkPath, const std::string& target,
                                  const std::string& description, const std::string& workDir) {
    IShellLinkA* pLink = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&pLink));
    if (FAILED(hr)) return hr;
    IPersistFile* pFile = nullptr;
    hr = pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile));
    if (FAILED(hr)) {
        pLink->Release();
        return hr;
    }
    if (FAILED(pLink->SetPath(target.c_str()))) AfxMessageBox("SetPath failed!");
    if (FAILED(pLink->SetDescription(description.c_str()))) AfxMessageBox("SetDescription failed!");
    if (FAILED(pLink->SetWorkingDirectory(workDir.c_str()))) AfxMessageBox("SetWorkFolder failed!");
    WCHAR widePath[MAX_PATH] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
    widePath[MAX_PATH - 1] = L'\0';
    hr = pFile->Save(widePath, TRUE);
    pFile->Release();
    pLink->Release();
    return hr;
}

void CPackageInfo::ExpandFolderRefs(std::string& path) const {
    std::string result;
    size_t pos = 0;
    while (pos < path.size()) {
        if (path[pos] != '$' || pos + 1 >= path.size() || path[pos + 1] != '{') {
            result += path[pos++];
            continue;
        }
        const size_t nameStart = pos + 2;
        size_t close = path.find('}', nameStart);
        if (close == std::string::npos) close = path.size();
        const std::string name = path.substr(nameStart, close - nameStart);
        if (name == "Target" && !m_strTarget.empty()) {
            result += m_strTarget;
        } else if (const std::string* value = theApp.m_mapFolders.Lookup(name)) {
            result += *value;
        }
        pos = close + 1;
    }
    path = result;
}

std::string CPackageInfo::GetFileFolder(const CPackageFile& file) const {
    std::string folder = file.m_pFolder->m_strPath;
    ExpandFolderRefs(folder);
    return folder;
}

std::string CPackageInfo::GetTargetPath(const CPackageFile& file) const {
    return JoinPath(GetFileFolder(file), file.m_strName);
}

bool IsSkippedOnThisPlatform(int flags) {
    return ((flags & PKG_SKIP_ON_WIN9X) && theApp.m_bWin9x) || ((flags & PKG_SKIP_ON_NT) && theApp.m_bWinNT);
}

bool CPackageInfo::QueueFiles(HSPFILEQ hQueue, HWND hUnpackBar, HWND hStatusText) {
    // A log that cannot be written would later leave the registry record
    // pointing at nothing: its folder is made first, and failing that the
    // package fails while its previous log and record stay in force.
    theApp.CreateFolderPath(m_strTarget, true);
    if (!m_log.Open(JoinPath(m_strTarget, m_strKey + ".DeIsLog"), CInstallLog::MODE_WRITE)) return false;

    for (CPackageFile* pFile : m_listFiles) {
        if (pFile->m_bInstall) {
            const std::string folder = GetFileFolder(*pFile);
            std::string sourceRoot = pFile->m_strPackageDir;
            DWORD copyStyle = SP_COPY_SOURCEPATH_ABSOLUTE;
            if (pFile->m_bCompressed) {
                if (hStatusText) {
                    ::SetWindowTextA(hStatusText, pFile->m_strSource.c_str());
                    ::UpdateWindow(hStatusText);
                }
                if (!UnpackPackageFile(pFile->m_strPackageDir, pFile->m_strSource, theApp.m_strTempDir)) {
                    m_log.Close();
                    return false;
                }
                if (hUnpackBar) CProgressCtrl(hUnpackBar).StepIt();
                sourceRoot = theApp.m_strTempDir;
                copyStyle |= SP_COPY_DELETESOURCE;
            }
            ::SetupQueueCopyA(hQueue, sourceRoot.c_str(), nullptr, pFile->m_strSource.c_str(), m_strKey.c_str(),
                              nullptr, folder.c_str(), pFile->m_strName.c_str(), copyStyle);
        }
        m_log.AddFile(pFile->m_pFolder->m_nId, pFile->m_strName, pFile->m_nFlags);
    }

    m_mapFolders.ForEach([this](int id, CPackageFolder* pFolder) {
        if (IsSkippedOnThisPlatform(pFolder->m_nFlags)) return;
        std::string path = pFolder->m_strPath;
        ExpandFolderRefs(path);
        theApp.CreateFolderPath(path, true);
        m_log.AddFolder(id, path, pFolder->m_nFlags);
    });
    return true;
}

bool CPackageInfo::FinishInstall() {
    const std::string group = JoinPath(theApp.m_strProgramsDir, theApp.m_strGroup);
    theApp.CreateFolderPath(group, true);
    for (CPackageShortcut* pShortcut : m_listShortcuts) {
        const std::string linkPath = JoinPath(group, pShortcut->m_strName + ".lnk");
        ExpandFolderRefs(pShortcut->m_strTarget);
        ExpandFolderRefs(pShortcut->m_strWorkDir);
        theApp.CreateShortcut(linkPath, pShortcut->m_strTarget, "test", pShortcut->m_strWorkDir);
        m_log.AddLink(linkPath, 0);
    }
    m_log.Commit();

    for (CPackageRegEntry* pEntry : m_listRegEntries) {
        // Predefined root handles are sign-extended 32-bit values.
        const HKEY root = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(pEntry->m_nRoot)));
        WriteRegValue(root, pEntry->m_strKey.c_str(), pEntry->m_strValueName.c_str(), DWORD(pEntry->m_nType),
                      pEntry->m_strData.c_str());
    }

    const std::string key = std::string(ZEP_CLIENT_KEY "\\") + m_strKey;
    WriteRegDword(key.c_str(), "Version", DWORD(m_nVersion));
    WriteRegString(key.c_str(), "DeIsLog", m_log.m_strPath.c_str());
    WriteRegString(key.c_str(), "Path", m_strTarget.c_str());
    return true;
}
