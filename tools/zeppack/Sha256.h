// SHA-256 (FIPS 180-4) for the packing tool, which also builds where the
// platform offers none: the hash a publisher writes into [Hashes].
#pragma once
#include <string>

// The hash of data in lower-case hex.
std::string Sha256Hex(const std::string& data);
