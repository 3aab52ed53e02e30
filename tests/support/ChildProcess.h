// Starting helper processes from a test: bounded waits, exit codes.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Starts commandLine in folder (empty: the current one). False when it
// could not be started.
bool StartChild(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& process);
// Runs it to its end, at most timeoutMs; a child still running then is
// ended. True when it ended by itself; exitCode is its exit code.
bool RunChild(const std::string& commandLine, const std::string& folder, DWORD timeoutMs, DWORD& exitCode);
// The path of the running test program.
std::string SelfPath();

}  // namespace testsupport
