// Files that package tests make and read back: versioned programs, compressed
// package files, chosen modification times, file contents.
#pragma once
#include <cstdint>
#include <string>

namespace testsupport {

// A copy of the running test program with only a version resource of the
// given file version.
bool WriteVersionedProgram(const std::string& path, int64_t version);
// The bytes of a compressed package file holding content.
std::string MakeCompressedPackage(const std::string& content, int32_t time, int64_t version);
bool SetModifiedTime(const std::string& path, int32_t seconds);
// The bytes of a file, or "<missing>".
std::string FileText(const std::string& path);
// The SHA-256 of bytes in lower-case hex, as the publisher's tool writes it.
std::string Sha256Text(const std::string& bytes);

}  // namespace testsupport
