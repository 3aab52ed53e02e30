#include "select/Removal.h"

#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "install/FileHash.h"
#include "install/InstallLog.h"
#include "install/PackageInfo.h"
#include "install/PendingRenames.h"
#include "select/ComponentStates.h"

namespace {

void DeleteReportedFile(const std::string& path, CRemovalSteps& steps) {
    steps.OnDeletingFile(path);
    const DWORD error = ::DeleteFileA(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_SUCCESS)
        theApp.m_log.Write("Removed " + path);
    else if (error != ERROR_FILE_NOT_FOUND)
        theApp.m_log.Write("Could not remove " + path + ": error " + std::to_string(error));
}

}  // namespace

// The catalogue yields its newest key first, so components are removed in
// the reverse of catalogue order.
std::vector<std::string> RemoveMarkedComponents(CRemovalSteps& steps) {
    std::vector<std::string> skippedRecords;
    for (auto& entry : theApp.m_mapComponents)
        if (entry.second->m_nAction == ACTION_REMOVE) RemoveComponent(entry.first, entry.second, steps, skippedRecords);
    return skippedRecords;
}

int RemoveComponent(const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                    std::vector<std::string>& skippedRecords) {
    theApp.m_log.Write("Removing component " + key);
    steps.OnRemovingComponent(*pComp);
    RemoveLoggedFiles(key, pComp, steps, skippedRecords);
    const std::string recordKey = std::string(ZEP_CLIENT_KEY "\\") + key;
    std::string folder;
    if (ReadRegPath(recordKey.c_str(), "Path", kRegPathLimit, folder)) ::RemoveDirectoryA(folder.c_str());
    for (const char* name : {"Version", "Path", "DeIsLog", kLogHashValue}) DeleteRegValue(recordKey.c_str(), name);
    DeleteRegKey(recordKey.c_str());
    pComp->m_nInstalledVersion = 0;
    pComp->m_nState = 0;
    pComp->m_nAction = ACTION_NONE;
    --theApp.m_nToRemove;
    --theApp.m_nInstalledCount;
    return 1;
}

// Folders go last, in the folder map's order; those not empty stay, and so
// does the program group while other components have shortcuts in it. The
// log lies in a folder others may write: a record is followed only when it
// names a file of an absolute folder or a shortcut of the program group.
int RemoveLoggedFiles(const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                      std::vector<std::string>& skippedRecords) {
    const std::string recordKey = std::string(ZEP_CLIENT_KEY "\\") + key;
    std::string logPath, expected, hash;
    if (!ReadRegPath(recordKey.c_str(), "DeIsLog", kRegPathLimit, logPath)) return 0;
    // A record of an earlier version has no hash: its log is checked record by record only.
    if (ReadRegPath(recordKey.c_str(), kLogHashValue, kRegPathLimit, expected) &&
        !(Sha256OfFile(logPath, hash) && hash == expected)) {
        skippedRecords.push_back(logPath + " (refused: it changed after the install)");
        return 0;
    }
    CInstallLog log;
    if (!log.Open(logPath, CInstallLog::MODE_READ)) return 0;
    CIdMap<CInstallLogRecord> folders;
    CInstallLogRecord record;
    for (bool more = log.ReadFirstFolder(record); more; more = log.ReadNextFolder(record)) {
        if (IsAbsoluteFolderPath(record.m_strText))
            folders.SetAt(record.m_nFolderId, new CInstallLogRecord(record));
        else
            skippedRecords.push_back(record.m_strText);
    }
    // The files of a folder left alone stay with it. A file replaced in use
    // would come back at the restart.
    std::vector<std::string> removedFiles;
    for (bool more = log.ReadFirstFile(record); more; more = log.ReadNextFile(record)) {
        const CInstallLogRecord* pFolder = folders.Lookup(record.m_nFolderId);
        if (!pFolder || (record.m_nFlags & PKG_KEEP_ON_REMOVE)) continue;
        const std::string path = JoinPath(pFolder->m_strText, record.m_strText);
        if (!IsPlainFileName(record.m_strText)) {
            skippedRecords.push_back(path);
            continue;
        }
        DeleteReportedFile(path, steps);
        removedFiles.push_back(path);
    }
    CancelPendingReplacements(removedFiles);
    const std::string group = JoinPath(theApp.m_strProgramsDir, theApp.m_strGroup);
    for (bool more = log.ReadFirstLink(record); more; more = log.ReadNextLink(record)) {
        if (IsShortcutIn(record.m_strText, group))
            DeleteReportedFile(record.m_strText, steps);
        else
            skippedRecords.push_back(record.m_strText);
    }
    // The log is deleted only where the product keeps it: in the install
    // folder or one of the folders it records.
    const std::string logFolder = JoinPath(logPath.substr(0, logPath.find_last_of("\\/")), "");
    const auto holdsLog = [&logFolder](const std::string& folder) {
        return _stricmp(logFolder.c_str(), JoinPath(folder, "").c_str()) == 0;
    };
    bool bOwnLog = holdsLog(theApp.m_strInstallDir);
    folders.ForEach([&](int, const CInstallLogRecord* pFolder) { bOwnLog = bOwnLog || holdsLog(pFolder->m_strText); });
    log.Close(!bOwnLog);
    ::RemoveDirectoryA(group.c_str());
    folders.ForEach([](int, const CInstallLogRecord* pFolder) {
        if (!(pFolder->m_nFlags & PKG_KEEP_ON_REMOVE)) ::RemoveDirectoryA(pFolder->m_strText.c_str());
    });
    return 1;
}
