#include "install/PackageInfo.h"

#include "app/Component.h"
#include "app/NumberText.h"
#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/Registry.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

CPackageInfo::CPackageInfo(const std::string& key, CComponent* pComponent) : m_pComponent(pComponent), m_strKey(key) {
    if (pComponent && pComponent->m_nInstalledVersion != 0) {
        char path[2048] = "";
        if (ReadRegString((std::string(ZEP_CLIENT_KEY "\\") + key).c_str(), "Path", nullptr, path, sizeof path) > 0)
            m_strTarget = path;
    }
}

CPackageInfo::~CPackageInfo() {
    for (CPackageFile* pFile : m_listFiles) delete pFile;
    for (CPackageShortcut* pShortcut : m_listShortcuts) delete pShortcut;
    for (CPackageRegEntry* pEntry : m_listRegEntries) delete pEntry;
}

namespace {

// Splits text at each comma into at most maxFields fields; the last one
// keeps whatever commas remain.
std::vector<std::string> SplitFields(const std::string& text, size_t maxFields) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() + 1 < maxFields) {
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos) break;
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}


int FieldToInt(const std::string& field) { return ParseDecimal(field.c_str()); }

// Days since 1970-01-01 to a calendar date (proleptic Gregorian).
void DateFromDays(int64_t days, WORD& year, WORD& month, WORD& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = WORD(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = WORD(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = WORD(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

bool CPackageInfo::Load(const std::string& path) {
    const int version = int(::GetPrivateProfileIntA("Package", "Ver", 0, path.c_str()));
    if (version == 0) return false;
    m_nVersion = version;
    m_strInfoPath = path;

    for (const std::string& line : ReadSectionLines(path, "Folders", 2048)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 2);
        auto* pFolder = new CPackageFolder;
        pFolder->m_nId = FieldToInt(line.substr(0, equals));
        pFolder->m_strPath = fields[0];
        if (fields.size() > 1) pFolder->m_nFlags = FieldToInt(fields[1]);
        m_mapFolders.SetAt(pFolder->m_nId, pFolder);
    }

    for (const std::string& line : ReadSectionLines(path, "Sources", 2048)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        m_mapSources.SetAt(FieldToInt(line.substr(0, equals)), new std::string(line.substr(equals + 1)));
    }

    for (const std::string& line : ReadSectionLines(path, "Files", 32767)) {
        if (line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 8);
        if (fields.size() < 6) continue;
        // A folder id field that is empty and last is no folder id at all.
        const bool hasFolderId = fields.size() == 8 || (fields.size() == 7 && !fields[6].empty());
        auto* pFile = new CPackageFile;
        pFile->m_strName = line.substr(0, equals);
        pFile->m_nVersion = ParseVersion64(fields[0]);
        pFile->m_tDate = ParseFileDate(fields[1]);
        pFile->m_nSize = FieldToInt(fields[2]);
        pFile->m_strSource = fields[3].empty() ? pFile->m_strName : fields[3];
        pFile->m_nPackedSize = FieldToInt(fields[4]);
        if (pFile->m_nPackedSize == 0) pFile->m_nPackedSize = pFile->m_nSize;
        pFile->m_pSource = m_mapSources.Lookup(FieldToInt(fields[5]));
        pFile->m_pFolder = hasFolderId ? m_mapFolders.Lookup(FieldToInt(fields[6])) : nullptr;
        if (fields.size() == 8) pFile->m_nFlags = FieldToInt(fields[7]);
        if (!pFile->m_pSource || !pFile->m_pFolder || !IsPlainFileName(pFile->m_strName) ||
            !IsPlainFileName(pFile->m_strSource)) {
            delete pFile;
            continue;
        }
        m_listFiles.push_back(pFile);
    }

    for (const std::string& line : ReadSectionLines(path, "Shortcuts", 2048)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        if (!IsPlainFileName(name)) continue;
        const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 2);
        auto* pShortcut = new CPackageShortcut;
        pShortcut->m_strName = name;
        pShortcut->m_strTarget = fields[0];
        if (fields.size() > 1) pShortcut->m_strWorkDir = fields[1];
        m_listShortcuts.push_back(pShortcut);
    }

    for (const std::string& line : ReadSectionLines(path, "RegEntries", 32767)) {
        // The value name ends at the first "=" after the key's comma: a key may hold "=".
        const size_t keyComma = line.find(',');
        const size_t nameComma = keyComma == std::string::npos ? keyComma : line.find(',', keyComma + 1);
        const size_t equals = nameComma == std::string::npos ? nameComma : line.find('=', nameComma + 1);
        if (equals == std::string::npos) continue;
        const std::vector<std::string> place = SplitFields(line.substr(0, equals), 3);
        if (place.size() < 3) continue;
        const std::vector<std::string> value = SplitFields(line.substr(equals + 1), 3);
        auto* pEntry = new CPackageRegEntry;
        pEntry->m_nRoot = FieldToInt(place[0]);
        pEntry->m_strKey = place[1];
        pEntry->m_strValueName = place[2];
        pEntry->m_nType = FieldToInt(value[0]);
        if (value.size() > 1) pEntry->m_strData = value[1];
        if (value.size() > 2) pEntry->m_nFlags = FieldToInt(value[2]);
        m_listRegEntries.push_back(pEntry);
    }
    return true;
}

int32_t CPackageInfo::ParseFileDate(const std::string& text) {
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) return 0;
    std::vector<WCHAR> wide(size_t(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), wideLength);
    DATE date = 0;
    if (FAILED(::VarDateFromStr(wide.data(), 1033, LOCALE_NOUSEROVERRIDE, &date))) return 0;
    // Negative dates lie before 1900, long before the earliest time there is.
    if (date < 0) return -1;

    const int64_t totalSeconds = int64_t(date * 86400.0 + 0.5);
    SYSTEMTIME local = {};
    DateFromDays(totalSeconds / 86400 - 25569, local.wYear, local.wMonth, local.wDay);
    local.wHour = WORD(totalSeconds % 86400 / 3600);
    local.wMinute = WORD(totalSeconds % 3600 / 60);
    local.wSecond = WORD(totalSeconds % 60);
    SYSTEMTIME utc;
    FILETIME fileTime;
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &fileTime))
        return -1;
    const int64_t ticks = int64_t((uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
    const int64_t seconds = ticks / 10000000 - 11644473600LL;
    if (seconds < 0 || seconds > INT32_MAX) return -1;
    return int32_t(seconds);
}
