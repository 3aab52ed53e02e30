#include "support/InstallTestPackage.h"

#include "app/SetupApp.h"
#include "app/WizardPage.h"
#include "install/InstallEngine.h"
#include "install/InstallLog.h"
#include "install/QueueCallback.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

namespace testsupport {

void PrepareInstallFolders(const std::string& root, CSetupRun& run) {
    run.m_strInstallDir = root + "\\Program\\ZEP";
    run.m_strDownloadDir = root + "\\download\\";
    run.m_strTempDir = root + "\\temp";
    run.m_strProgramsDir = root + "\\Programs";
    ::CreateDirectoryA(run.m_strDownloadDir.c_str(), nullptr);
    ::CreateDirectoryA(run.m_strTempDir.c_str(), nullptr);
    run.m_strGroup = "ZEP Test";
    run.m_bWin9x = false;
    run.m_bWinNT = true;
    run.m_nDownloadOnly = 0;
    run.ResolveFolders();
}

CPackageFolder* AddPackageFolder(CPackageInfo& pkg, int id, const std::string& path, int flags) {
    if (!pkg.m_mapSources.Lookup(0)) pkg.m_mapSources.SetAt(0, new std::string("files"));
    auto* pFolder = new CPackageFolder{id, path, flags};
    pkg.m_mapFolders.SetAt(id, pFolder);
    return pFolder;
}

CPackageFile* AddPackageFile(CPackageInfo& pkg, const std::string& name, int folderId, int flags) {
    auto* pFile = new CPackageFile;
    pFile->m_strName = name;
    pFile->m_strSource = name + ".pkg";
    pFile->m_nFlags = flags;
    pFile->m_pSource = pkg.m_mapSources.Lookup(0);
    pFile->m_pFolder = pkg.m_mapFolders.Lookup(folderId);
    pkg.m_listFiles.push_back(pFile);
    return pFile;
}

CPackageFile* AddDownloadedFile(CPackageInfo& pkg, const std::string& name, int folderId,
                                const std::string& packageBytes, bool compressed, bool install, int flags) {
    CPackageFile* pFile = AddPackageFile(pkg, name, folderId, flags);
    pFile->m_bInstall = install;
    pFile->m_bDownload = false;
    pFile->m_bCompressed = compressed;
    pFile->m_strPackageDir = pkg.m_run.m_strDownloadDir;
    WriteFile(pkg.m_run.m_strDownloadDir + pFile->m_strSource, packageBytes);
    return pFile;
}

std::string InstallPackages(const std::vector<CPackageInfo*>& packages, CInstallRecord* pRecord,
                            int progressMessages) {
    // Records the steps, and hands the progress messages over after the commit.
    struct Steps : CInstallSteps {
        CInstallRecord record;
        CInstallQueueCallback* pCallback = nullptr;
        int messages = 0;
        void OnUnpacked() override { ++record.unpacked; }
        void OnCopying(const char* target) override { record.copying = target; }
        void OnFilesDone(int nFiles) override { record.filesDone = nFiles; }
        void OnCommitted() override {
            for (int i = 0; i < messages; ++i) pCallback->OnProgressMessage(1);
        }
    } steps;
    CSetupRun& run = packages.front()->m_run;
    CInstallQueueCallback callback(nullptr, nullptr, WM_QUEUE_PROGRESS, steps, run.m_log);
    steps.pCallback = &callback;
    steps.messages = progressMessages;
    const CInstallOutcome outcome = InstallReadyPackages(run, packages, callback, steps);
    if (pRecord) *pRecord = steps.record;
    std::string text = outcome.m_bCommitted ? "committed" : "not committed";
    text += ", " + std::to_string(callback.GetFilesDone()) + " files done";
    if (outcome.m_bRebootRequired) text += ", reboot required";
    for (const CPackageInfo* pkg : outcome.m_failed)
        text += (pkg->m_bQueueFailed ? ", failed " : ", not finished ") + pkg->m_strKey;
    return text;
}

Lines ReadInstallLog(const std::string& path) {
    Lines lines;
    const std::string copy = path + ".read~";
    if (!::CopyFileA(path.c_str(), copy.c_str(), FALSE)) return {"no log at " + path};
    CInstallLog log;
    if (!log.Open(copy, CInstallLog::MODE_READ)) return {"cannot open " + copy};
    using Read = bool (CInstallLog::*)(CInstallLogRecord&);
    const struct {
        const char* kind;
        Read first, next;
    } kinds[] = {{"F", &CInstallLog::ReadFirstFile, &CInstallLog::ReadNextFile},
                 {"D", &CInstallLog::ReadFirstFolder, &CInstallLog::ReadNextFolder},
                 {"L", &CInstallLog::ReadFirstLink, &CInstallLog::ReadNextLink}};
    for (const auto& kind : kinds) {
        CInstallLogRecord record;
        for (bool more = (log.*kind.first)(record); more; more = (log.*kind.next)(record))
            lines.push_back(std::string(kind.kind) + " " + std::to_string(record.m_nFolderId) + " " +
                            std::to_string(record.m_nFlags) + " " + record.m_strText);
        if ((log.*kind.next)(record)) lines.push_back("read past the end: " + record.m_strText);
    }
    return lines;
}

Lines ReadShortcut(const std::string& path) {
    IShellLinkA* pLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&pLink))))
        return {};
    Lines fields;
    IPersistFile* pFile = nullptr;
    WCHAR widePath[MAX_PATH] = L"";
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        if (SUCCEEDED(pFile->Load(widePath, STGM_READ))) {
            char text[3][MAX_PATH] = {};
            pLink->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
            pLink->GetWorkingDirectory(text[1], MAX_PATH);
            pLink->GetDescription(text[2], MAX_PATH);
            fields.assign(std::begin(text), std::end(text));
        }
        pFile->Release();
    }
    pLink->Release();
    return fields;
}

std::string LocalText(int32_t seconds) {
    if (seconds <= 0) return std::to_string(seconds);
    const uint64_t ticks = uint64_t(seconds + 11644473600LL) * 10000000u;
    const FILETIME fileTime = {DWORD(ticks), DWORD(ticks >> 32)};
    SYSTEMTIME utc, local;
    if (!::FileTimeToSystemTime(&fileTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return "unconvertible";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}

std::string Join(const Lines& fields) {
    std::string text;
    for (const std::string& field : fields) text += (text.empty() ? "" : " | ") + field;
    return text;
}

Lines PackageEntries(const CPackageInfo& info) {
    Lines entries;
    for (const CPackageFile* f : info.m_listFiles) {
        char version[32];
        const uint64_t v = uint64_t(f->m_nVersion);
        std::snprintf(version, sizeof version, "%u.%u.%u.%u", unsigned(v >> 48), unsigned(v >> 32) & 0xFFFF,
                      unsigned(v >> 16) & 0xFFFF, unsigned(v) & 0xFFFF);
        entries.push_back(Join({f->m_strName, version, LocalText(f->m_tDate), std::to_string(f->m_nSize),
                                f->m_strSource, std::to_string(f->m_nPackedSize), *f->m_pSource,
                                f->m_pFolder->m_strPath, std::to_string(f->m_nFlags)}) +
                          (f->m_strSha256.empty() ? "" : " | " + f->m_strSha256));
    }
    for (const CPackageShortcut* s : info.m_listShortcuts)
        entries.push_back(Join({s->m_strName, s->m_strTarget, s->m_strWorkDir}));
    for (const CPackageRegEntry* r : info.m_listRegEntries)
        entries.push_back(Join({std::to_string(r->m_nRoot), r->m_strKey, r->m_strValueName,
                                std::to_string(r->m_nType), r->m_strData, std::to_string(r->m_nFlags)}));
    return entries;
}

}  // namespace testsupport
