// The disk space that installation and download will take, per drive.
// Built on the platform's disk-space list; where the platform cannot add to
// or report from that list (Wine), the same paths and sizes are summed here,
// so callers get the same answers either way.
#pragma once
#include <windows.h>
#include <setupapi.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CDiskSpaceList {
public:
    CDiskSpaceList();
    virtual ~CDiskSpaceList();
    CDiskSpaceList(const CDiskSpaceList&) = delete;
    CDiskSpaceList& operator=(const CDiskSpaceList&) = delete;

    // A file of the given size that a copy will write at path.
    void AddCopy(const std::string& path, int64_t size);
    // The drives the list touches ("C:", or "\\server\share"), in the order
    // the platform reports them (ours: first added first).
    std::vector<std::string> QueryDrives() const;
    int64_t QuerySpaceRequired(const std::string& drive) const;

    // True once any answer comes from the sums kept here.
    bool UsesOwnSums() const { return m_bOwnSums; }

private:
    struct CFileEntry {
        std::string m_strDrive;
        int64_t m_nSize = 0;
    };
    static std::string DriveOf(const std::string& fullPath);
    static std::string FullPath(const std::string& path);
    static std::string UpperCase(std::string text);

    HDSKSPC m_hList;
    mutable bool m_bOwnSums = false;
    // Keyed by the upper-cased full path: a file added again replaces itself.
    std::map<std::string, CFileEntry> m_mapFiles;
    std::vector<std::string> m_listDrives;
};
