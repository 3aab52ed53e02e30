// The number, version and date texts of the setup files: decimal numbers,
// dotted file versions and the conversion of a parsed date to its calendar
// fields (the date text itself is read by the system's VarDateFromStr).
#include "FuzzCheck.h"
#include "app/NumberText.h"
#include "install/PackageInfoLines.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
int64_t DaysFromDate(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CheckDate(double date) {
    CDateFields fields;
    if (!OleDateToFields(date, fields)) return;
    Require(fields.m_nMonth >= 1 && fields.m_nMonth <= 12 && fields.m_nDay >= 1 && fields.m_nDay <= 31);
    Require(fields.m_nHour >= 0 && fields.m_nHour < 24 && fields.m_nMinute >= 0 && fields.m_nMinute < 60 &&
            fields.m_nSecond >= 0 && fields.m_nSecond < 60);
    // The fields name the same second, to the nearest one.
    const double seconds = double(DaysFromDate(fields.m_nYear, fields.m_nMonth, fields.m_nDay) + 25569) * 86400.0 +
                           fields.m_nHour * 3600 + fields.m_nMinute * 60 + fields.m_nSecond;
    Require(std::fabs(seconds - date * 86400.0) <= 0.5 + std::fabs(date) * 86400.0 * 1e-15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseVersion64(text);
    const int number = ParseDecimal(text.c_str());
    unsigned major = 0, minor = 0;
    Require(std::sscanf(VersionToString(number).c_str(), "%u.%u", &major, &minor) == 2 && major < 256 && minor < 256);
    if (size < 8) return 0;

    // Four 16-bit parts, written dotted, read back whole.
    uint16_t parts[4];
    std::memcpy(parts, data, sizeof parts);
    char dotted[32];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    const uint64_t packed = uint64_t(parts[0]) << 48 | uint64_t(parts[1]) << 32 | uint64_t(parts[2]) << 16 | parts[3];
    Require(ParseVersion64(dotted) == int64_t(packed));

    double date;
    std::memcpy(&date, data, sizeof date);
    CheckDate(date);
    return 0;
}
