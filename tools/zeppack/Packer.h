// Makes the bytes of a compressed package file from the bytes of a file.
#pragma once
#include <cstdint>
#include <string>

// False only when the compressor fails (out of memory).
bool PackBytes(const std::string& data, const std::string& text, int32_t time, int64_t version, int blockDigit,
               std::string& package);
