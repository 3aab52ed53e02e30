#include "tools/zeppack/Sha256.h"

#include "install/FileHash.h"

std::string Sha256Hex(const std::string& data) {
    CSha256 sha;
    sha.Add(data.data(), data.size());
    return sha.FinishHex();
}
