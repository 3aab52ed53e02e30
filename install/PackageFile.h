// Compressed package files: a small header with the file's version and time
// in front of a bzip2 block stream.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// True when the file is a compressed package file; version and time are
// filled from its header.
bool ProbePackageFile(const std::string& path, int64_t& version, int32_t& time);
// The probe over a file the caller opened, read from its current position.
bool ProbePackageStream(std::FILE* file, int64_t& version, int32_t& time);
// Decodes the open input into the open output; inputPath names the input in
// diagnostics. False for a damaged input and for one that decodes to more
// than `limit` bytes, whose output the caller removes; the decoders stop
// before they write past the limit. `workers` threads decode blocks side by
// side; 1 is the sequential decoder, 0 chooses by the cores and the input's
// size. Both give the same bytes and the same verdict.
bool UnpackPackageStream(std::FILE* input, std::FILE* output, const std::string& inputPath, unsigned workers = 0,
                         uint64_t limit = UINT64_MAX);
// Decodes sourceDir\name into destDir\outputName (destDir\name when
// outputName is empty). False, with no output file left, for anything but a
// complete and intact decode of at most `limit` bytes.
bool UnpackPackageFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                       const std::string& outputName = "", unsigned workers = 0, uint64_t limit = UINT64_MAX);
// The same from inputPath into outputPath.
bool UnpackPackagePath(const std::string& inputPath, const std::string& outputPath, unsigned workers = 0,
                       uint64_t limit = UINT64_MAX);
// The bytes of a header up to the block stream: magic, text, time, version.
// A packer follows them with a standard bzip2 stream minus its "BZ".
std::string MakePackageFileHeader(const std::string& text, int32_t time, int64_t version);
