// The files a folder holds, to check that an operation left nothing behind.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

// Names of the files (not folders) directly in dir, in the order found.
std::vector<std::string> FilesIn(const std::string& dir);

}  // namespace testsupport
