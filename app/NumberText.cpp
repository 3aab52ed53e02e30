#include "app/NumberText.h"

#include <cstdio>

std::string IntToString(int value) { return std::to_string(value); }

std::string Int64ToString(int64_t value) { return std::to_string(value); }

std::string VersionToString(int version) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", (version >> 8) & 0xFF, version & 0xFF);
    return text;
}

int ParseDecimal(const char* text) { return int(uint32_t(ParseDecimal64(text))); }

int64_t ParseDecimal64(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + uint64_t(*text - '0');
    return int64_t(negative ? 0u - value : value);
}

int64_t ParseVersion64(const std::string& text) {
    uint64_t result = 0;
    size_t position = 0;
    for (int shift = 48; position < text.size() && shift >= 0; shift -= 16) {
        size_t dot = text.find('.', position);
        std::string part = text.substr(position, dot == std::string::npos ? std::string::npos : dot - position);
        // A part beyond 16 bits is cut to them rather than spilling into its neighbour.
        result |= uint64_t(uint32_t(ParseDecimal(part.c_str())) & 0xFFFFu) << shift;
        position = dot == std::string::npos ? text.size() : dot + 1;
    }
    return int64_t(result);
}
