#include "install/InstallEngine.h"

#include "app/FolderSecurity.h"
#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "framework/WinApp.h"
#include "install/FileHash.h"
#include "install/PackageFile.h"
#include "install/PendingRenames.h"
#include "install/QueueCallback.h"
#include "install/StopPoint.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

static std::string SystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
    char path[260] = "";
    query(path, sizeof path);
    return path;
}

void CSetupRun::ResolveFolders() {
    m_mapFolders.RemoveAll();
    m_mapFolders.SetAt("Target", m_strInstallDir);
    m_mapFolders.SetAt("System", SystemFolder(::GetSystemDirectoryA));
    m_mapFolders.SetAt("Windows", SystemFolder(::GetWindowsDirectoryA));
}

bool CSetupRun::CreateFolderPath(const std::string& path, bool parents, bool bProtected) {
    const auto create = [bProtected](const std::string& folder) {
        return bProtected ? CreateProtectedFolder(folder) : ::CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
    };
    if (create(path)) return true;
    if (::GetLastError() != ERROR_PATH_NOT_FOUND || !parents) return false;
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return false;
    if (!CreateFolderPath(path.substr(0, slash), true, bProtected)) return false;
    return create(path);
}

HRESULT CSetupRun::CreateShortcut(const std::string& linkPath, const std::string& target,
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
    // The shell cuts paths past its limit: a shortcut would start another
    // program or be saved under another name.
    if (target.size() >= MAX_PATH || FAILED(pLink->SetPath(target.c_str()))) AfxMessageBox("SetPath failed!");
    if (FAILED(pLink->SetDescription(description.c_str()))) AfxMessageBox("SetDescription failed!");
    if (workDir.size() >= MAX_PATH || FAILED(pLink->SetWorkingDirectory(workDir.c_str())))
        AfxMessageBox("SetWorkFolder failed!");
    WCHAR widePath[MAX_PATH] = L"";
    if (::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0)
        hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    else
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
        } else if (const std::string* value = m_run.m_mapFolders.Lookup(name)) {
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

std::string CPackageInfo::GetUnpackedPath(size_t index, const CPackageFile& file) const {
    return JoinPath(m_run.m_strTempDir, GetUnpackedName(index, file));
}

std::string CPackageInfo::GetUnpackedName(size_t index, const CPackageFile& file) const {
    return m_strKey + "." + std::to_string(index) + "." + file.m_strSource;
}

bool CSetupRun::IsSkippedOnThisPlatform(int flags) const {
    return ((flags & PKG_SKIP_ON_WIN9X) && m_bWin9x) || ((flags & PKG_SKIP_ON_NT) && m_bWinNT);
}

// The download folder is open to other accounts: a file checked when it
// arrived, or on the Preparing page, may have been swapped since.
bool CPackageInfo::PinFiles() {
    for (const CPackageFile* pFile : m_listFiles)
        if (pFile->m_bInstall && !pFile->m_strSha256.empty() &&
            !m_pinnedFiles.Pin(JoinPath(pFile->m_strPackageDir, pFile->m_strSource), pFile->m_strSha256))
            return false;
    return true;
}

namespace {

// A compressed file of a package and the name of its decoded copy in the temporary folder.
using CUnpackJob = std::pair<const CPackageFile*, std::string>;

// A file that decodes past its Files line's size would fill the disk past the space check.
bool Unpack(const CUnpackJob& job, const std::string& tempDir, unsigned blockWorkers) {
    const CPackageFile& file = *job.first;
    return UnpackPackageFile(file.m_strPackageDir, file.m_strSource, tempDir, job.second, blockWorkers,
                             uint64_t(file.m_nSize));
}

// Lets the calling thread's windows paint and answer while it waits for hEvent.
void WaitPumping(HANDLE hEvent) {
    if (::MsgWaitForMultipleObjects(1, &hEvent, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) return;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Whole files decode side by side, one worker per core, each file's blocks
// on its own worker; the calling thread tells steps of each file decoded
// and keeps its windows answering. After a failure no further file is begun.
bool UnpackSideBySide(const std::vector<CUnpackJob>& jobs, const std::string& tempDir, unsigned cores,
                      CInstallSteps& steps) {
    std::atomic<size_t> next{0}, done{0};
    std::atomic<unsigned> running{0};
    std::atomic<bool> failed{false};
    const HANDLE hChanged = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!hChanged) return false;
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::min<size_t>(cores, jobs.size()); ++i) {
        ++running;
        try {
            workers.emplace_back([&] {
                for (size_t job; !failed && (job = next++) < jobs.size(); ::SetEvent(hChanged)) {
                    bool unpacked = false;
                    try {
                        unpacked = Unpack(jobs[job], tempDir, 1);
                    } catch (...) {
                    }
                    if (unpacked)
                        ++done;
                    else
                        failed = true;
                }
                --running;
                ::SetEvent(hChanged);
            });
        } catch (...) {
            --running;
            failed = true;
        }
    }
    for (size_t shown = 0; running != 0 || shown < done;) {
        for (; shown < done; ++shown) {
            steps.OnUnpacking(*jobs[shown].first);
            steps.OnUnpacked();
        }
        if (running != 0) WaitPumping(hChanged);
    }
    for (std::thread& worker : workers) worker.join();
    ::CloseHandle(hChanged);
    return !failed && done == jobs.size();
}

}  // namespace

// Every compressed file of the package is decoded before the first copy is
// queued: a package that fails queues nothing, so none of its files is
// installed without a log to remove it by. A file decoded while the
// download went on is only waited for. One file alone, or one core, leaves
// its blocks the cores to share.
bool CPackageInfo::UnpackFiles(CInstallSteps& steps) {
    std::vector<CUnpackJob> jobs;
    size_t index = 0;
    for (const CPackageFile* pFile : m_listFiles) {
        if (pFile->m_bInstall && pFile->m_bCompressed) {
            std::string name = GetUnpackedName(index, *pFile);
            if (m_run.m_unpackAhead.Take(GetUnpackedPath(index, *pFile), WaitPumping, m_pinnedFiles)) {
                steps.OnUnpacking(*pFile);
                steps.OnUnpacked();
            } else {
                jobs.emplace_back(pFile, std::move(name));
            }
        }
        ++index;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    bool unpacked = true;
    if (jobs.size() > 1 && cores > 1) {
        unpacked = UnpackSideBySide(jobs, m_run.m_strTempDir, cores, steps);
    } else {
        for (size_t i = 0; i < jobs.size() && unpacked; ++i) {
            steps.OnUnpacking(*jobs[i].first);
            unpacked = Unpack(jobs[i], m_run.m_strTempDir, 0);
            if (unpacked) steps.OnUnpacked();
        }
    }
    // Held unchanged from here until the queue's commit has copied them.
    for (size_t i = 0; i < jobs.size() && unpacked; ++i)
        unpacked = m_pinnedFiles.Hold(JoinPath(m_run.m_strTempDir, jobs[i].second));
    if (!unpacked) DeleteUnpackedFiles();
    return unpacked;
}

void CPackageInfo::DeleteUnpackedFiles() const {
    size_t index = 0;
    for (const CPackageFile* pFile : m_listFiles) {
        if (pFile->m_bInstall && pFile->m_bCompressed)
            ::DeleteFileA(GetUnpackedPath(index, *pFile).c_str());
        ++index;
    }
}

std::string CPackageInfo::RecordKey() const { return std::string(ZEP_CLIENT_KEY "\\") + m_strKey; }

std::string CSetupRun::ProgramGroupPath() const { return JoinPath(m_strProgramsDir, m_strGroup); }

static std::string ShortcutPath(const std::string& group, const CPackageShortcut& shortcut) {
    return JoinPath(group, shortcut.m_strName + ".lnk");
}

// The whole log is written and sealed before the first copy is queued: a
// package that fails here has nothing on disk, and one cut short later has
// a log that names all it may have left. The folders are made as they are
// logged, so that the queued copies find them.
bool CPackageInfo::WriteLog() {
    for (const CPackageFile* pFile : m_listFiles)
        m_log.AddFile(pFile->m_pFolder->m_nId, pFile->m_strName, pFile->m_nFlags);
    m_mapFolders.ForEach([this](int id, CPackageFolder* pFolder) {
        if (m_run.IsSkippedOnThisPlatform(pFolder->m_nFlags)) return;
        std::string path = pFolder->m_strPath;
        ExpandFolderRefs(path);
        m_run.CreateFolderPath(path, true);
        m_log.AddFolder(id, path, pFolder->m_nFlags);
    });
    const std::string group = m_run.ProgramGroupPath();
    for (const CPackageShortcut* pShortcut : m_listShortcuts) m_log.AddLink(ShortcutPath(group, *pShortcut), 0);
    return m_log.Seal();
}

// From here until its record is written, a run cut short leaves the package
// marked: the next run installs it whole again, and a removal also follows
// the log begun here, which the mark binds by its hash. A first install has
// no record yet: the folder of its log is recorded with the mark.
bool CPackageInfo::MarkInstallBegun() const {
    const std::string key = RecordKey();
    return (ReadRegDword(key.c_str(), "Version", 0) != 0 || WriteRegString(key.c_str(), "Path", m_strTarget.c_str())) &&
           WriteRegString(key.c_str(), kPendingLogHashValue, m_log.m_strHash.c_str());
}

// A package whose install failed while the program ran has had its copies
// taken back: it is as the earlier runs left it, cut short or not.
void CPackageInfo::UnmarkInstallBegun() const {
    if (m_pComponent && m_pComponent->m_bCutShort) return;
    const std::string key = RecordKey();
    DeleteRegValue(key.c_str(), kPendingLogHashValue);
    if (ReadRegDword(key.c_str(), "Version", 0) == 0) {
        DeleteRegValue(key.c_str(), "Path");
        DeleteRegKey(key.c_str());
    }
}

bool CPackageInfo::QueueFiles(HSPFILEQ hQueue, CInstallSteps& steps) {
    // A component installed without a recorded folder logs into the install folder.
    if (m_strTarget.empty()) m_strTarget = m_run.m_strInstallDir;
    // A log that cannot be written would later leave the registry record
    // pointing at nothing: its folder is made first, and failing that the
    // package fails while its previous log and record stay in force.
    m_run.CreateFolderPath(m_strTarget, true, true);
    if (!m_log.Open(InstallLogPath(m_strTarget, m_strKey), CInstallLog::MODE_WRITE)) return false;
    if (!PinFiles() || !UnpackFiles(steps) || !WriteLog() || !MarkInstallBegun()) {
        m_pinnedFiles.Release();
        m_log.Close();
        return false;
    }
    size_t index = 0;
    for (CPackageFile* pFile : m_listFiles) {
        if (pFile->m_bInstall) {
            const std::string& sourceRoot = pFile->m_bCompressed ? m_run.m_strTempDir : pFile->m_strPackageDir;
            const std::string sourceName = pFile->m_bCompressed ? GetUnpackedName(index, *pFile) : pFile->m_strSource;
            // Decoded copies are held open until the commit ends: they go
            // with the package's finish, not with their copy.
            ::SetupQueueCopyA(hQueue, sourceRoot.c_str(), nullptr, sourceName.c_str(), m_strKey.c_str(), nullptr,
                              GetFileFolder(*pFile).c_str(), pFile->m_strName.c_str(), SP_COPY_SOURCEPATH_ABSOLUTE);
        }
        ++index;
    }
    return true;
}

bool CPackageInfo::FinishInstall() {
    const std::string group = m_run.ProgramGroupPath();
    m_run.CreateFolderPath(group, true);
    std::vector<std::string> newLinks;
    for (CPackageShortcut* pShortcut : m_listShortcuts) {
        const std::string linkPath = ShortcutPath(group, *pShortcut);
        ExpandFolderRefs(pShortcut->m_strTarget);
        ExpandFolderRefs(pShortcut->m_strWorkDir);
        if (::GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES) newLinks.push_back(linkPath);
        m_run.CreateShortcut(linkPath, pShortcut->m_strTarget, "test", pShortcut->m_strWorkDir);
    }
    // A log that could not take the old one's place leaves the previous
    // record in force, pointing at the old log, which names none of the
    // shortcuts made here.
    if (!m_log.Commit()) {
        for (const std::string& link : newLinks) ::DeleteFileA(link.c_str());
        return false;
    }
    PassStopPoint(StopPoint::kLogCommitted);

    for (CPackageRegEntry* pEntry : m_listRegEntries) {
        // Roots come from a downloaded file: only the predefined keys, whose
        // handles are sign-extended 32-bit values, are roots.
        const HKEY root = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(pEntry->m_nRoot)));
        if (root != HKEY_CLASSES_ROOT && root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE &&
            root != HKEY_USERS && root != HKEY_CURRENT_CONFIG)
            continue;
        WriteRegValue(root, pEntry->m_strKey.c_str(), pEntry->m_strValueName.c_str(), DWORD(pEntry->m_nType),
                      pEntry->m_strData.c_str());
    }

    PassStopPoint(StopPoint::kBeforeRecord);
    const std::string key = RecordKey();
    WriteRegDword(key.c_str(), "Version", DWORD(m_nVersion));
    m_run.m_bInstalledComponentsChanged = true;
    WriteRegString(key.c_str(), "DeIsLog", m_log.m_strPath.c_str());
    // Binds the log to its record: removal follows only the bytes written
    // here, hashed as they were written, not as the folder holds them now.
    WriteRegString(key.c_str(), kLogHashValue, m_log.m_strHash.c_str());
    WriteRegString(key.c_str(), "Path", m_strTarget.c_str());
    // Last: the record is whole.
    DeleteRegValue(key.c_str(), kPendingLogHashValue);
    return true;
}

// A file that was there before the commit stays: the previous log of the
// package, or another program, names it.
void CPackageInfo::TakeBackCopies(const CInstallQueueCallback& callback) const {
    std::vector<std::string> scheduled;
    for (const CPackageFile* pFile : m_listFiles) {
        if (!pFile->m_bInstall) continue;
        const std::string target = GetTargetPath(*pFile);
        if (callback.HasCreated(target)) ::DeleteFileA(target.c_str());
        if (callback.HasScheduled(target)) scheduled.push_back(target);
    }
    CancelPendingReplacements(scheduled);
}

std::vector<CPackageInfo*> ReadyPackages(const CSetupRun& run) {
    std::vector<CPackageInfo*> ready;
    for (const auto& entry : run.m_mapPackages) {
        CPackageInfo& package = *entry.second;
        if (!package.m_bNeedInfo && package.m_nFilesToDownload == 0) ready.push_back(&package);
    }
    return ready;
}

CInstallOutcome InstallReadyPackages(CSetupRun& run, const std::vector<CPackageInfo*>& ready,
                                     CInstallQueueCallback& callback, CInstallSteps& steps) {
    CInstallOutcome outcome;
    const HSPFILEQ hQueue = ::SetupOpenFileQueue();
    // Without a queue nothing is queued, and every package fails as one whose queueing failed.
    for (CPackageInfo* pPackage : ready) {
        steps.OnQueueing(*pPackage);
        pPackage->m_bQueueFailed =
            hQueue == INVALID_HANDLE_VALUE || !pPackage->QueueFiles(hQueue, steps);
        if (pPackage->m_bQueueFailed) run.m_log.Write("Package " + pPackage->m_strKey + " could not be queued");
        steps.OnQueued(*pPackage);
    }
    // The packages' marks are on disk before any of their files is written.
    FlushRegKey(ZEP_CLIENT_KEY);
    steps.OnCommitting();
    if (hQueue != INVALID_HANDLE_VALUE) {
        outcome.m_bCommitted = callback.Commit(hQueue);
        PassStopPoint(StopPoint::kQueueCommitted);
        if (!outcome.m_bCommitted)
            run.m_log.Write("The file queue could not be committed: error " + std::to_string(::GetLastError()));
        steps.OnCommitted();
        outcome.m_bRebootRequired = callback.IsRebootRequired(hQueue);
    }
    outcome.m_failed = FinishPackages(ready, outcome.m_bCommitted, callback);
    if (hQueue != INVALID_HANDLE_VALUE) ::SetupCloseFileQueue(hQueue);
    // What the run's end goes by: the Finish page and the exit code.
    run.m_bInstallSucceeded = outcome.m_bCommitted;
    run.m_bRebootRequired = outcome.m_bRebootRequired;
    run.m_nPackagesFailed = int(outcome.m_failed.size());
    for (const CPackageInfo* pPackage : outcome.m_failed)
        run.m_log.Write("Package " + pPackage->m_strKey + " could not be installed");
    if (outcome.m_bRebootRequired) run.m_log.Write("A restart of the computer is needed to finish");
    return outcome;
}

std::vector<CPackageInfo*> FinishPackages(const std::vector<CPackageInfo*>& ready, bool bCommitted,
                                          const CInstallQueueCallback& callback) {
    std::vector<CPackageInfo*> failed;
    for (CPackageInfo* pPackage : ready) {
        pPackage->m_pinnedFiles.Release();
        pPackage->DeleteUnpackedFiles();
        if (bCommitted && !pPackage->m_bQueueFailed && pPackage->FinishInstall()) continue;
        // A package that failed before its copies were queued has none to take back.
        if (!pPackage->m_bQueueFailed) {
            pPackage->TakeBackCopies(callback);
            pPackage->UnmarkInstallBegun();
        }
        failed.push_back(pPackage);
    }
    return failed;
}
