#include "install/PackageInfo.h"

#include "app/Component.h"
#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/Registry.h"

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <vector>

CPackageInfo::CPackageInfo(CSetupRun& run, const std::string& key, CComponent* pComponent)
    : m_run(run), m_pComponent(pComponent), m_strKey(key) {
    if (pComponent && (pComponent->m_nInstalledVersion != 0 || pComponent->m_bCutShort)) {
        ReadRegPath((std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), "Path", 2047, m_strTarget);
    }
}

CPackageInfo::~CPackageInfo() {
    for (CPackageFile* pFile : m_listFiles) delete pFile;
    for (CPackageShortcut* pShortcut : m_listShortcuts) delete pShortcut;
    for (CPackageRegEntry* pEntry : m_listRegEntries) delete pEntry;
}

bool CPackageInfo::Load(const std::string& path) {
    const int version = int(::GetPrivateProfileIntA("Package", "Ver", 0, path.c_str()));
    if (version == 0) return false;
    m_nVersion = version;
    m_strInfoPath = path;

    for (const std::string& line : ReadSectionLines(path, "Folders", 2048)) {
        auto pFolder = std::make_unique<CPackageFolder>();
        if (!ParseFolderLine(line, *pFolder)) continue;
        const int id = pFolder->m_nId;
        m_mapFolders.SetAt(id, pFolder.release());
    }

    for (const std::string& line : ReadSectionLines(path, "Sources", 2048)) {
        int id = 0;
        auto pSource = std::make_unique<std::string>();
        if (ParseSourceLine(line, id, *pSource)) m_mapSources.SetAt(id, pSource.release());
    }

    for (const std::string& line : ReadSectionLines(path, "Files", 32767)) {
        auto pFile = std::make_unique<CPackageFile>();
        CFileLineRefs refs;
        if (!ParseFileLine(line, *pFile, refs)) continue;
        pFile->m_pSource = m_mapSources.Lookup(refs.m_nSourceId);
        pFile->m_pFolder = refs.m_bHasFolderId ? m_mapFolders.Lookup(refs.m_nFolderId) : nullptr;
        if (!pFile->m_pSource || !pFile->m_pFolder) continue;
        pFile->m_tDate = ParseFileDate(refs.m_strDate);
        m_listFiles.push_back(pFile.release());
    }

    // A package file the section does not name keeps no hash: sites made
    // before it existed stay readable.
    const std::map<std::string, std::string> hashes = ReadHashSection(path);
    for (CPackageFile* pFile : m_listFiles) {
        auto found = hashes.find(LowerAscii(pFile->m_strSource));
        if (found != hashes.end()) pFile->m_strSha256 = found->second;
    }

    for (const std::string& line : ReadSectionLines(path, "Shortcuts", 2048)) {
        auto pShortcut = std::make_unique<CPackageShortcut>();
        if (ParseShortcutLine(line, *pShortcut)) m_listShortcuts.push_back(pShortcut.release());
    }

    for (const std::string& line : ReadSectionLines(path, "RegEntries", 32767)) {
        auto pEntry = std::make_unique<CPackageRegEntry>();
        if (ParseRegEntryLine(line, *pEntry)) m_listRegEntries.push_back(pEntry.release());
    }
    return true;
}

std::map<std::string, std::string> ReadHashSection(const std::string& path) {
    std::map<std::string, std::string> hashes;
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file) || file.nFileSizeHigh != 0 ||
        file.nFileSizeLow > kMaxHashSectionFileBytes)
        return hashes;
    for (const std::string& line : ReadSectionLines(path, "Hashes", file.nFileSizeLow + 1)) {
        std::string name, sha256;
        if (ParseHashLine(line, name, sha256)) hashes[LowerAscii(name)] = sha256;
    }
    return hashes;
}

bool CPackageInfo::NamesEveryFileHash() const {
    for (const CPackageFile* pFile : m_listFiles)
        if (pFile->m_strSha256.empty()) return false;
    return true;
}

int32_t CPackageInfo::ParseFileDate(const std::string& text) {
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) return 0;
    std::vector<WCHAR> wide(size_t(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), wideLength);
    DATE date = 0;
    if (FAILED(::VarDateFromStr(wide.data(), 1033, LOCALE_NOUSEROVERRIDE, &date))) return 0;
    CDateFields fields;
    if (!OleDateToFields(date, fields)) return -1;
    SYSTEMTIME local = {};
    local.wYear = WORD(fields.m_nYear);
    local.wMonth = WORD(fields.m_nMonth);
    local.wDay = WORD(fields.m_nDay);
    local.wHour = WORD(fields.m_nHour);
    local.wMinute = WORD(fields.m_nMinute);
    local.wSecond = WORD(fields.m_nSecond);
    SYSTEMTIME utc;
    FILETIME fileTime;
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &fileTime))
        return -1;
    const int64_t ticks = int64_t((uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
    const int64_t seconds = ticks / 10000000 - 11644473600LL;
    if (seconds < 0 || seconds > INT32_MAX) return -1;
    return int32_t(seconds);
}
