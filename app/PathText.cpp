#include "app/PathText.h"

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

namespace {

// Whether text begins with the lower-case prefix, letters in any case.
bool BeginsWith(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if ((text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i]) != prefix[i]) return false;
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

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos &&
           !IsDeviceName(name);
}
