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

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}
