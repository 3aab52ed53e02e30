// What a file on disk is: its version resource and modification time, or
// the header of a compressed package file.
#pragma once
#include <cstdint>
#include <string>

// True when the file exists; then time is its modification time and version
// the file version of its version resource (0 without one). When the file
// does not exist both outputs stay as they were.
bool ProbeInstalledFile(const std::string& path, int64_t& version, int32_t& time);
// The size of a regular file; 0 for anything else.
int64_t FileBytes(const std::string& path);

enum { DOWNLOADED_NONE = 0, DOWNLOADED_PLAIN = 1, DOWNLOADED_COMPRESSED = 2 };
// DOWNLOADED_COMPRESSED with version and time from the package header,
// DOWNLOADED_PLAIN as ProbeInstalledFile finds it, DOWNLOADED_NONE when absent.
int ProbeDownloadedFile(const std::string& path, int64_t& version, int32_t& time);

class CPackageFile;
class CSetupRun;
// What the run does with a package file once its files are selected, and
// why, as the setup log tells it.
std::string FileDecision(const CSetupRun& run, const CPackageFile& file);
