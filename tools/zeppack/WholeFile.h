// Whole files in and out of the publisher's tool, and its one way to fail.
#pragma once
#include <string>

// The bytes of a regular file of at most 2 GiB, and its modification time.
bool ReadWholeFile(const std::string& path, std::string& data, long long& modified, std::string& error);
// A file that cannot be written whole is removed.
bool WriteWholeFile(const std::string& path, const std::string& data, std::string& error);
// Prints "zeppack: message"; the exit code 1.
int Fail(const std::string& message);
