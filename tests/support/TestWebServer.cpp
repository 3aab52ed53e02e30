#include "support/TestWebServer.h"

#include <cstdlib>
#include <fstream>

namespace testweb {

static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string BaseUrl() {
    std::ifstream state(Env("ZEP_WEB_STATE"));
    int port = 0;
    if (!(state >> port) || port <= 0) return "";
    return "http://127.0.0.1:" + std::to_string(port);
}

std::string RootDir() { return Env("ZEP_WEB_ROOT"); }

std::vector<std::string> RequestsFor(const std::string& part, const std::string& logPath) {
    std::ifstream log(logPath.empty() ? Env("ZEP_WEB_LOG") : logPath);
    std::vector<std::string> requests;
    for (std::string line; std::getline(log, line);) {
        const size_t range = line.find(" range=");
        if (range != std::string::npos && line.find(part) < range) requests.push_back(line.substr(range + 1));
    }
    return requests;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char(i % 251);
    return bytes;
}

std::string IniFile(size_t size) {
    std::string text = "; sites of the test\r\n[Locations]\r\n";
    for (int i = 0; text.size() < size; ++i)
        text += "Site" + std::to_string(i) + "=http://127.0.0.1/mirror/" + std::to_string(i) + "\r\n";
    return text;
}

}  // namespace testweb
