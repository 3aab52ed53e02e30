// Paths as the program builds them; free of the platform, so that the format
// code that uses them also builds natively.
#pragma once
#include <string>

// folder, the separator and name; a folder that already ends in a separator
// gets no second one. The separator is "\" on Windows and "/" elsewhere.
std::string JoinPath(const std::string& folder, const std::string& name);
