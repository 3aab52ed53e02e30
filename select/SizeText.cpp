#include "select/SizeText.h"

#include "app/NumberText.h"

std::string FormatSizeK(int32_t bytes) { return FormatSizeK64(bytes); }

std::string FormatSizeK64(int64_t bytes) {
    if (bytes < 1024) return Int64ToString(bytes);
    return Int64ToString(bytes / 1024) + " K";
}
