// SHA-256 for the hashes a publisher writes into [Hashes]: libcrypto's in the
// native build, the wizard's own CNG hash in the Windows build.
#pragma once
#include <string>

// The hash of data in lower-case hex; empty when the library fails.
std::string Sha256Hex(const std::string& data);
