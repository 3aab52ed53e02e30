// The proxy the system's settings put between the wizard and a site.
#pragma once
#include <string>

// The proxy server that a session with these settings (as the platform keeps
// them: "host:port", or "scheme=host:port" entries, separated by ";" or
// blanks; bypass entries with "*" wildcards, "<local>" for hosts without a
// dot) uses for url; empty when it goes to the site directly.
std::string ProxyServerFor(const std::string& proxies, const std::string& bypass, const std::string& url);
