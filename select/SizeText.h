// Byte counts as the pages show them: plain below 1024, else whole
// kilobytes; "?" for a count below zero.
#pragma once
#include <cstdint>
#include <string>

std::string FormatSizeK(int32_t bytes);
std::string FormatSizeK64(int64_t bytes);
