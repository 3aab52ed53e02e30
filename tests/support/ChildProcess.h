// Starting helper processes from a test: bounded waits, exit codes, output.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Starts commandLine in folder (empty: the current one), its standard output
// and error going to output when that is given. False when it could not be
// started.
bool StartChild(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& process,
                HANDLE output = nullptr);
// Runs it to its end, at most timeoutMs; a child still running then is
// ended. True when it ended by itself; exitCode is its exit code, and what it
// wrote to its standard output and error lands in *output when that is given.
bool RunChild(const std::string& commandLine, const std::string& folder, DWORD timeoutMs, DWORD& exitCode,
              std::string* output = nullptr);
// The path of the running test program.
std::string SelfPath();

}  // namespace testsupport
