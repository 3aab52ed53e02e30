// The SHA-256 of a file, by the platform's CNG.
#pragma once
#include <string>

// The hash in lower-case hex; false when the file cannot be read or the
// platform has no CNG (bcrypt.dll is bound late, from the system folder).
bool Sha256OfFile(const std::string& path, std::string& hex);
