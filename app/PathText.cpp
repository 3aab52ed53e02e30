#include "app/PathText.h"

#include <algorithm>

std::string JoinPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + separator + name;
}

std::string JoinUrl(const std::string& base, const std::string& name) {
    return !base.empty() && base.back() == '/' ? base + name : base + "/" + name;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

namespace {

// Whether text begins with prefix, letters in any case.
bool BeginsWith(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

}  // namespace

bool IsWebAddress(const std::string& url) { return BeginsWith(url, "http://") || BeginsWith(url, "https://"); }

bool IsAllowedFinalAddress(const std::string& original, const std::string& final) {
    return IsWebAddress(final) && (!BeginsWith(original, "https://") || BeginsWith(final, "https://"));
}

namespace {

// CON, NUL, AUX, PRN, COM1-COM9 and LPT1-LPT9, with any extension and in any
// case, name a device in every folder: a file of that name would write to it.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (stem == "CON" || stem == "NUL" || stem == "AUX" || stem == "PRN") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

bool IsAbsoluteFolderPath(const std::string& path) {
    const bool drive = path.size() >= 3 && LowerAscii(path[0]) >= 'a' && LowerAscii(path[0]) <= 'z' &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.compare(0, 2, "\\\\") == 0;
    if (!drive && !share) return false;
    // The platform drops trailing dots and blanks of a part: "..." and ". " are ".." and ".".
    size_t start = drive ? 3 : 2;
    while (start < path.size()) {
        const size_t end = std::min(path.find_first_of("\\/", start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part.find_first_not_of(". ") == std::string::npos || part.find(':') != std::string::npos) return false;
        start = end + 1;
    }
    return true;
}

bool IsShortcutIn(const std::string& path, const std::string& groupFolder) {
    const std::string folder = JoinPath(groupFolder, "");
    return path.size() > folder.size() + 4 && BeginsWith(path, folder) &&
           IsPlainFileName(path.substr(folder.size())) && BeginsWith(path.substr(path.size() - 4), ".lnk");
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos &&
           !IsDeviceName(name);
}
