// The file version of a Windows program or library, read from the bytes of
// its version resource so the packer needs no Windows to find it.
#pragma once
#include <cstdint>
#include <string>

// False when the bytes are no PE image or it has no version resource.
bool ReadPeFileVersion(const std::string& image, int64_t& version);
