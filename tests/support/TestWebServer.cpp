#include "support/TestWebServer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace testweb {

static std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The port a server wrote first into its state file; 0 without one.
static int PortOf(const char* stateVariable) {
    std::ifstream state(Env(stateVariable));
    int port = 0;
    return state >> port && port > 0 ? port : 0;
}

std::string BaseUrl() {
    const int port = PortOf("ZEP_WEB_STATE");
    return port ? "http://127.0.0.1:" + std::to_string(port) : "";
}

int ProxyPort(bool login) { return PortOf(login ? "ZEP_PROXY_LOGIN" : "ZEP_PROXY_OPEN"); }

std::string RootDir() { return Env("ZEP_WEB_ROOT"); }

std::vector<std::string> RequestsFor(const std::string& part, const std::string& logPath) {
    std::ifstream log(logPath == "proxies" ? Env("ZEP_PROXY_LOG") : logPath.empty() ? Env("ZEP_WEB_LOG") : logPath);
    std::vector<std::string> requests;
    for (std::string line; std::getline(log, line);) {
        const size_t start = std::min(line.find(" range="), line.find(" auth="));
        if (start != std::string::npos && line.find(part) < start) requests.push_back(line.substr(start + 1));
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
