// Number and version texts shown on the pages and read from setup files.
#pragma once
#include <cstdint>
#include <string>

std::string IntToString(int value);
std::string Int64ToString(int64_t value);
// A component version packed as major * 256 + minor, shown as "major.minor".
std::string VersionToString(int version);
// A dotted file version of up to four 16-bit parts, first part highest.
int64_t ParseVersion64(const std::string& text);
// Decimal text as the setup files write numbers: leading blanks, an optional
// sign, digits up to the first other character; no digits gives 0. The value
// wraps modulo 2^32.
int ParseDecimal(const char* text);
// The same for sizes, which may pass 2 GiB: the value wraps modulo 2^64.
int64_t ParseDecimal64(const char* text);
