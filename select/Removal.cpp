#include "select/Removal.h"

#include "app/PathText.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "install/BesideCopy.h"
#include "install/FileSelection.h"
#include "install/InstallLog.h"
#include "install/PackageInfo.h"
#include "install/PendingRenames.h"
#include "select/ComponentStates.h"

#include <algorithm>

namespace {

// A file in use goes at the next restart, which the run then needs.
void DeleteReportedFile(CSetupRun& run, const std::string& path, CRemovalSteps& steps) {
    steps.OnDeletingFile(path);
    const DWORD error = ::DeleteFileA(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_SUCCESS) {
        run.m_log.Write("Removed " + path);
    } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return;
    } else if (::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        run.m_bRebootRequired = TRUE;
        run.m_log.Write("Deleted at the next restart: " + path);
    } else {
        run.m_log.Write("Could not remove " + path + ": error " + std::to_string(error));
    }
}

}  // namespace

// The catalogue yields its newest key first, so components are removed in
// the reverse of catalogue order.
std::vector<std::string> RemoveMarkedComponents(CSetupRun& run, CRemovalSteps& steps) {
    std::vector<std::string> skippedRecords;
    for (auto& entry : run.m_mapComponents)
        if (entry.second->m_nAction == ACTION_REMOVE)
            RemoveComponent(run, entry.first, entry.second, steps, skippedRecords);
    return skippedRecords;
}

int RemoveComponent(CSetupRun& run, const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                    std::vector<std::string>& skippedRecords) {
    run.m_log.Write("Removing component " + key);
    steps.OnRemovingComponent(*pComp);
    bool bRefused = false;
    RemoveLoggedFiles(run, key, pComp, steps, skippedRecords, bRefused);
    // Its files may all still be there: the record stays for a removal that can follow them.
    if (bRefused) {
        run.m_log.Write("Component " + key + " is not removed: its install log was refused");
        ++run.m_nRemovalsRefused;
        pComp->m_nState = 0;
        pComp->m_nAction = ACTION_NONE;
        --run.m_nToRemove;
        return 1;
    }
    const std::string recordKey = std::string(ZEP_CLIENT_KEY "\\") + key;
    std::string folder;
    if (ReadRegPath(recordKey.c_str(), "Path", kRegPathLimit, folder)) ::RemoveDirectoryA(folder.c_str());
    for (const char* name : {"Version", "Path", "DeIsLog", kLogHashValue, kPendingLogHashValue})
        DeleteRegValue(recordKey.c_str(), name);
    DeleteRegKey(recordKey.c_str());
    run.m_bInstalledComponentsChanged = true;
    pComp->m_nInstalledVersion = 0;
    pComp->m_bCutShort = false;
    pComp->m_nState = 0;
    pComp->m_nAction = ACTION_NONE;
    --run.m_nToRemove;
    --run.m_nInstalledCount;
    return 1;
}

namespace {

// A log of the component's record and the hashes that bind it; none for a
// record of an earlier version, which has no hash. The finished install's
// log must be there; an interrupted one may not have been written yet.
struct CRecordedLog {
    std::string m_strPath;
    std::vector<std::string> m_hashes;
    bool m_bRequired = false;
};

// The log of the last finished install, and that of an install cut short:
// beside the log's path until its commit, then in its place (the first
// one's, or for a first install its own) before the record names its hash.
std::vector<CRecordedLog> RecordedLogs(const std::string& key) {
    const std::string recordKey = std::string(ZEP_CLIENT_KEY "\\") + key;
    std::string logPath, logHash, pendingHash, folder;
    ReadRegPath(recordKey.c_str(), kPendingLogHashValue, kRegPathLimit, pendingHash);
    std::vector<CRecordedLog> logs;
    if (ReadRegPath(recordKey.c_str(), "DeIsLog", kRegPathLimit, logPath)) {
        logs.push_back({logPath, {}, true});
        if (ReadRegPath(recordKey.c_str(), kLogHashValue, kRegPathLimit, logHash)) {
            logs.back().m_hashes.push_back(logHash);
            if (!pendingHash.empty()) logs.back().m_hashes.push_back(pendingHash);
        }
    }
    if (!pendingHash.empty() && ReadRegPath(recordKey.c_str(), "Path", kRegPathLimit, folder)) {
        const std::string pendingPath = InstallLogPath(folder, key);
        if (_stricmp(pendingPath.c_str(), logPath.c_str()) != 0) logs.push_back({pendingPath, {pendingHash}});
        logs.push_back({BesideName(pendingPath), {pendingHash}});
    }
    return logs;
}

enum class ELogOpened { kOpened, kAbsent, kRefused };

// The log as its record binds it: refused, with the reason in skippedRecords,
// when it changed after it was written or the finished install's log is
// missing. Open for reading, the log cannot be written or replaced until it
// is closed, so the records followed are the bytes hashed.
ELogOpened OpenRecordedLog(const CRecordedLog& recorded, CInstallLog& log, std::vector<std::string>& skippedRecords) {
    if (!log.Open(recorded.m_strPath, CInstallLog::MODE_READ)) {
        if (!recorded.m_bRequired) return ELogOpened::kAbsent;
        skippedRecords.push_back(recorded.m_strPath + " (refused: it is missing)");
        return ELogOpened::kRefused;
    }
    std::string hash;
    if (!recorded.m_hashes.empty() &&
        !(log.HashOpened(hash) && std::find(recorded.m_hashes.begin(), recorded.m_hashes.end(), hash) !=
                                      recorded.m_hashes.end())) {
        log.Close(true);
        skippedRecords.push_back(recorded.m_strPath + " (refused: it changed after the install)");
        return ELogOpened::kRefused;
    }
    return ELogOpened::kOpened;
}

// The log lies in a folder others may write: a file record is followed only
// when it names a plain file of an absolute folder. The folders followed
// are kept in folders; the records left alone go to skippedRecords.
template <class Visit>
void ForEachLoggedFile(CInstallLog& log, CIdMap<CInstallLogRecord>& folders, std::vector<std::string>& skippedRecords,
                       Visit visit) {
    CInstallLogRecord record;
    for (bool more = log.ReadFirstFolder(record); more; more = log.ReadNextFolder(record)) {
        if (IsAbsoluteFolderPath(record.m_strText))
            folders.SetAt(record.m_nFolderId, new CInstallLogRecord(record));
        else
            skippedRecords.push_back(record.m_strText);
    }
    for (bool more = log.ReadFirstFile(record); more; more = log.ReadNextFile(record)) {
        const CInstallLogRecord* pFolder = folders.Lookup(record.m_nFolderId);
        if (!pFolder) continue;
        const std::string path = JoinPath(pFolder->m_strText, record.m_strText);
        if (IsPlainFileName(record.m_strText))
            visit(path, record);
        else
            skippedRecords.push_back(path);
    }
}

// Folders go last, in the folder map's order; those not empty stay, and so
// does the program group while other components have shortcuts in it. A
// shortcut record is followed only when it names one of the program group.
// Of an install cut short, the copies that waited beside their files go too.
void RemoveFilesOfLog(CSetupRun& run, CInstallLog& log, bool bCutShort, CRemovalSteps& steps,
                      std::vector<std::string>& skippedRecords) {
    const std::string logPath = log.m_strPath;
    CIdMap<CInstallLogRecord> folders;
    // The files of a folder left alone stay with it. A file replaced in use
    // would come back at the restart.
    std::vector<std::string> removedFiles;
    ForEachLoggedFile(log, folders, skippedRecords, [&](const std::string& path, const CInstallLogRecord& file) {
        if (bCutShort) ::DeleteFileA(BesideName(path).c_str());
        if (file.m_nFlags & PKG_KEEP_ON_REMOVE) return;
        DeleteReportedFile(run, path, steps);
        removedFiles.push_back(path);
    });
    CancelPendingReplacements(removedFiles);
    CInstallLogRecord record;
    const std::string group = run.ProgramGroupPath();
    for (bool more = log.ReadFirstLink(record); more; more = log.ReadNextLink(record)) {
        if (IsShortcutIn(record.m_strText, group))
            DeleteReportedFile(run, record.m_strText, steps);
        else
            skippedRecords.push_back(record.m_strText);
    }
    // The log is deleted only where the product keeps it: in the install
    // folder or one of the folders it records.
    const std::string logFolder = JoinPath(logPath.substr(0, logPath.find_last_of("\\/")), "");
    const auto holdsLog = [&logFolder](const std::string& folder) {
        return _stricmp(logFolder.c_str(), JoinPath(folder, "").c_str()) == 0;
    };
    bool bOwnLog = holdsLog(run.m_strInstallDir);
    folders.ForEach([&](int, const CInstallLogRecord* pFolder) { bOwnLog = bOwnLog || holdsLog(pFolder->m_strText); });
    log.Close(!bOwnLog);
    ::RemoveDirectoryA(group.c_str());
    folders.ForEach([](int, const CInstallLogRecord* pFolder) {
        if (!(pFolder->m_nFlags & PKG_KEEP_ON_REMOVE)) ::RemoveDirectoryA(pFolder->m_strText.c_str());
    });
}

}  // namespace

int RemoveLoggedFiles(CSetupRun& run, const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                      std::vector<std::string>& skippedRecords, bool& bRefused) {
    int nRemoved = 0;
    for (const CRecordedLog& recorded : RecordedLogs(key)) {
        CInstallLog log;
        const ELogOpened opened = OpenRecordedLog(recorded, log, skippedRecords);
        bRefused = bRefused || opened == ELogOpened::kRefused;
        if (opened != ELogOpened::kOpened) continue;
        RemoveFilesOfLog(run, log, pComp->m_bCutShort, steps, skippedRecords);
        nRemoved = 1;
    }
    return nRemoved;
}

int64_t LoggedFileBytes(const std::string& key) {
    const std::vector<CRecordedLog> logs = RecordedLogs(key);
    CInstallLog log;
    std::vector<std::string> skippedRecords;
    if (logs.empty() || OpenRecordedLog(logs.front(), log, skippedRecords) != ELogOpened::kOpened) return 0;
    CIdMap<CInstallLogRecord> folders;
    int64_t bytes = FileBytes(log.m_strPath);
    ForEachLoggedFile(log, folders, skippedRecords,
                      [&bytes](const std::string& path, const CInstallLogRecord&) { bytes += FileBytes(path); });
    log.Close(true);
    return bytes;
}
