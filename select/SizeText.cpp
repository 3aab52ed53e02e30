#include "select/SizeText.h"

#include "app/NumberText.h"

std::string FormatSizeK(int32_t bytes) { return FormatSizeK64(bytes); }

// A size below zero is none a file or a drive can have.
std::string FormatSizeK64(int64_t bytes) {
    if (bytes < 0) return "?";
    if (bytes < 1024) return Int64ToString(bytes);
    return Int64ToString(bytes / 1024) + " K";
}
