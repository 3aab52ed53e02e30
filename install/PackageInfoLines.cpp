#include "install/PackageInfoLines.h"

#include "app/NumberText.h"
#include "app/PathText.h"

#include <vector>

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
void DateFromDays(int64_t days, CDateFields& fields) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    fields.m_nDay = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    fields.m_nMonth = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    fields.m_nYear = int(yearOfEra + era * 400 + (fields.m_nMonth <= 2 ? 1 : 0));
}

}  // namespace

bool ParseFolderLine(const std::string& line, CPackageFolder& folder) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 2);
    folder.m_nId = FieldToInt(line.substr(0, equals));
    folder.m_strPath = fields[0];
    if (fields.size() > 1) folder.m_nFlags = FieldToInt(fields[1]);
    return true;
}

bool ParseSourceLine(const std::string& line, int& id, std::string& source) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    id = FieldToInt(line.substr(0, equals));
    source = line.substr(equals + 1);
    return true;
}

bool ParseFileLine(const std::string& line, CPackageFile& file, CFileLineRefs& refs) {
    if (line[0] == '#') return false;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 8);
    if (fields.size() < 6) return false;
    file.m_strName = line.substr(0, equals);
    file.m_nVersion = ParseVersion64(fields[0]);
    refs.m_strDate = fields[1];
    file.m_nSize = ParseDecimal64(fields[2].c_str());
    file.m_strSource = fields[3].empty() ? file.m_strName : fields[3];
    file.m_nPackedSize = ParseDecimal64(fields[4].c_str());
    if (file.m_nPackedSize == 0) file.m_nPackedSize = file.m_nSize;
    refs.m_nSourceId = FieldToInt(fields[5]);
    refs.m_bHasFolderId = fields.size() == 8 || (fields.size() == 7 && !fields[6].empty());
    if (refs.m_bHasFolderId) refs.m_nFolderId = FieldToInt(fields[6]);
    if (fields.size() == 8) file.m_nFlags = FieldToInt(fields[7]);
    // A negative size would pass the disk-space check and any limit on what its package file decodes to.
    if (file.m_nSize < 0 || file.m_nPackedSize < 0) return false;
    return IsPlainFileName(file.m_strName) && IsPlainFileName(file.m_strSource);
}

bool ParseShortcutLine(const std::string& line, CPackageShortcut& shortcut) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    shortcut.m_strName = line.substr(0, equals);
    if (!IsPlainFileName(shortcut.m_strName)) return false;
    const std::vector<std::string> fields = SplitFields(line.substr(equals + 1), 2);
    shortcut.m_strTarget = fields[0];
    if (fields.size() > 1) shortcut.m_strWorkDir = fields[1];
    return true;
}

bool ParseRegEntryLine(const std::string& line, CPackageRegEntry& entry) {
    // The value name ends at the first "=" after the key's comma: a key may hold "=".
    const size_t keyComma = line.find(',');
    const size_t nameComma = keyComma == std::string::npos ? keyComma : line.find(',', keyComma + 1);
    const size_t equals = nameComma == std::string::npos ? nameComma : line.find('=', nameComma + 1);
    if (equals == std::string::npos) return false;
    const std::vector<std::string> place = SplitFields(line.substr(0, equals), 3);
    if (place.size() < 3) return false;
    const std::vector<std::string> value = SplitFields(line.substr(equals + 1), 3);
    entry.m_nRoot = FieldToInt(place[0]);
    entry.m_strKey = place[1];
    entry.m_strValueName = place[2];
    entry.m_nType = FieldToInt(value[0]);
    if (value.size() > 1) entry.m_strData = value[1];
    if (value.size() > 2) entry.m_nFlags = FieldToInt(value[2]);
    return true;
}

bool OleDateToFields(double date, CDateFields& fields) {
    // Negative dates lie before 1900, long before the earliest time there is.
    // Past the year 9999, which ends the dates VarDateFromStr gives, and for
    // a NaN, the count of seconds below would overflow.
    const double kFirstDayOf10000 = 2958466;
    if (!(date >= 0 && date < kFirstDayOf10000)) return false;
    const int64_t totalSeconds = int64_t(date * 86400.0 + 0.5);
    DateFromDays(totalSeconds / 86400 - 25569, fields);
    fields.m_nHour = int(totalSeconds % 86400 / 3600);
    fields.m_nMinute = int(totalSeconds % 3600 / 60);
    fields.m_nSecond = int(totalSeconds % 60);
    return true;
}

bool ParseHashLine(const std::string& line, std::string& source, std::string& sha256) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0 || line.size() - equals - 1 != 64) return false;
    std::string hex;
    for (size_t i = equals + 1; i < line.size(); ++i) {
        const char c = LowerAscii(line[i]);
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
        hex += c;
    }
    source = line.substr(0, equals);
    sha256 = hex;
    return true;
}
