// Paths as the program builds them; free of the platform, so that the format
// code that uses them also builds natively.
#pragma once
#include <string>

// folder, the separator and name; a folder that already ends in a separator
// gets no second one. The separator is "\" on Windows and "/" elsewhere.
std::string JoinPath(const std::string& folder, const std::string& name);

// c with the letters A to Z made small; other bytes as they are (the rules
// of file and header names, not of a language).
char LowerAscii(char c);
std::string LowerAscii(std::string text);

// An address on a web site: base, a "/" unless base ends in one, and name.
std::string JoinUrl(const std::string& base, const std::string& name);

// An address the program fetches from: "http://" or "https://", in any case.
// Other schemes (ftp:, file:, javascript:...) and bare paths are not.
bool IsWebAddress(const std::string& url);
// Where a fetch of original may end after the server's redirects: a web
// address, and an https one when original was https.
bool IsAllowedFinalAddress(const std::string& original, const std::string& final);

// A folder an install log may name for removal: absolute (a drive's root or
// a share) and without "." or ".." parts, empty parts or a stream name, so
// that no record leads elsewhere than it reads.
bool IsAbsoluteFolderPath(const std::string& path);
// A shortcut an install log may name for removal: a ".lnk" file directly in
// groupFolder (letters in any case).
bool IsShortcutIn(const std::string& path, const std::string& groupFolder);

// A name that stays inside its folder: no path separators, no drive, not a
// reference to the folder itself or its parent, and not a device name.
bool IsPlainFileName(const std::string& name);
