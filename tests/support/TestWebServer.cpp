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

}  // namespace testweb
