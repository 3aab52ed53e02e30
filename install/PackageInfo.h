// The package info of one component taking part in a run: what its package
// installs, where from and where to, and the per-file decisions.
#pragma once
#include "install/FileHash.h"
#include "install/InstallLog.h"
#include "install/PackageInfoLines.h"

#include <setupapi.h>

#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

class CComponent;
class CSetupRun;
class CInstallSteps;
class CInstallQueueCallback;
class CDiskSpaceList;

// A map keyed by id with 17 buckets (bucket = unsigned id >> 4, mod 17),
// each bucket newest first; iteration runs bucket by bucket. Owns its values.
template <class T>
class CIdMap {
public:
    CIdMap() = default;
    ~CIdMap() { RemoveAll(); }
    CIdMap(const CIdMap&) = delete;
    CIdMap& operator=(const CIdMap&) = delete;

    T* Lookup(int id) const;
    // Replaces (and deletes) an earlier value under the same id, keeping its place.
    void SetAt(int id, T* value);
    void RemoveAll();
    // Calls f(id, value) in iteration order.
    template <class F>
    void ForEach(F f) const {
        for (const auto& bucket : m_buckets)
            for (const auto& entry : bucket) f(entry.first, entry.second);
    }

private:
    static size_t Bucket(int id) { return (uint32_t(id) >> 4) % 17; }
    std::pair<int, T*>* Find(int id) const;
    std::array<std::list<std::pair<int, T*>>, 17> m_buckets;
};

template <class T>
std::pair<int, T*>* CIdMap<T>::Find(int id) const {
    for (const auto& entry : m_buckets[Bucket(id)])
        if (entry.first == id) return const_cast<std::pair<int, T*>*>(&entry);
    return nullptr;
}

template <class T>
T* CIdMap<T>::Lookup(int id) const {
    const auto* entry = Find(id);
    return entry ? entry->second : nullptr;
}

template <class T>
void CIdMap<T>::SetAt(int id, T* value) {
    if (auto* entry = Find(id)) {
        if (entry->second != value) delete entry->second;
        entry->second = value;
        return;
    }
    m_buckets[Bucket(id)].emplace_front(id, value);
}

template <class T>
void CIdMap<T>::RemoveAll() {
    for (auto& bucket : m_buckets) {
        for (auto& entry : bucket) delete entry.second;
        bucket.clear();
    }
}

// The SHA-256 of a [Hashes] section by file name in lower case. A section
// names as many files as the rest of its file, past what one profile read
// takes by default: it is read with a buffer as large as the file.
constexpr DWORD kMaxHashSectionFileBytes = 16 << 20;
std::map<std::string, std::string> ReadHashSection(const std::string& path);

class CPackageInfo {
public:
    // Its rules read the folders, the system and the log of run.
    CPackageInfo(CSetupRun& run, const std::string& key, CComponent* pComponent);
    virtual ~CPackageInfo();
    CPackageInfo(const CPackageInfo&) = delete;
    CPackageInfo& operator=(const CPackageInfo&) = delete;

    bool Load(const std::string& path);
    // Every package file has the publisher's SHA-256.
    bool NamesEveryFileHash() const;
    static int32_t ParseFileDate(const std::string& text);

    // Install engine (InstallEngine.cpp).
    void ExpandFolderRefs(std::string& path) const;
    // The file's folder with its references expanded, and the path within it.
    std::string GetFileFolder(const CPackageFile& file) const;
    std::string GetTargetPath(const CPackageFile& file) const;
    // The name the compressed file of the index-th file record is decoded to
    // in the temporary folder: one of its own per record, as one package
    // file may be installed twice.
    std::string GetUnpackedName(size_t index, const CPackageFile& file) const;
    // The decoded copy's path: GetUnpackedName in the run's temporary folder.
    std::string GetUnpackedPath(size_t index, const CPackageFile& file) const;
    bool QueueFiles(HSPFILEQ hQueue, CInstallSteps& steps);
    // The package files to install that the publisher gave a hash for, held
    // as they were checked until the package is finished; false when one
    // no longer holds the publisher's bytes.
    bool PinFiles();
    // Decodes the compressed files to install, each then held in
    // m_pinnedFiles until the package is finished.
    bool UnpackFiles(CInstallSteps& steps);
    // The decoded copies in the work folder, once nothing holds them.
    void DeleteUnpackedFiles() const;
    // Every record of the new log, sealed; the package's folders made.
    bool WriteLog();
    // The mark in the component's record that a run cut short leaves, and
    // its end for a package that failed while the program ran.
    bool MarkInstallBegun() const;
    void UnmarkInstallBegun() const;
    // "SOFTWARE\ORBEL\ZEP\Client\" and the key.
    std::string RecordKey() const;
    bool FinishInstall();
    // What the commit did for a package that cannot be finished, taken back:
    // its log will not name them.
    void TakeBackCopies(const CInstallQueueCallback& callback) const;

    // Per-file decisions (FileSelection.cpp).
    int SelectFilesToInstall();
    int SelectFilesToDownload(bool reset);
    // Summed in 64 bits: the packed sizes come from untrusted files.
    int64_t GetDownloadSize() const;
    bool AddToDiskSpaceList(CDiskSpaceList& list) const;

    CSetupRun& m_run;
    CComponent* m_pComponent;
    std::string m_strKey;
    int m_nVersion = 0;
    std::string m_strInfoPath;
    std::string m_strTarget;
    bool m_bNeedInfo = true;
    int m_nFilesToInstall = 0;
    int m_nFilesToDownload = 0;
    int m_nFilesToUnpack = 0;
    bool m_bQueueFailed = false;
    CInstallLog m_log;
    CPinnedFiles m_pinnedFiles;
    CIdMap<std::string> m_mapSources;
    CIdMap<CPackageFolder> m_mapFolders;
    std::list<CPackageFile*> m_listFiles;
    std::list<CPackageShortcut*> m_listShortcuts;
    std::list<CPackageRegEntry*> m_listRegEntries;
};
