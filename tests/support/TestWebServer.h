// The test web site that ctest starts on loopback before the Wine tests
// (tests/server/webserver.py): where it listens and which folder it serves.
#pragma once
#include <string>
#include <vector>

namespace testweb {

// "http://127.0.0.1:PORT", or empty when the server is not running.
std::string BaseUrl();
// The folder the site serves, as a Windows path; tests put their files into
// a subfolder of their own.
std::string RootDir();

// What the site was asked for paths that hold part, in order, each as
// "range=<Range> if-range=<If-Range> status=<code>" ("-" for a header not
// sent), from the site's request log or another server's log of that form;
// or (logPath "proxies") from the test proxies' log, as "auth=<yes|no> status=<code>".
std::vector<std::string> RequestsFor(const std::string& part, const std::string& logPath = "");

// The port of the test proxy that asks for the login zep:secret (login), or
// of the one that asks for none; 0 when it is not running.
int ProxyPort(bool login);

// The bytes the site generates for "?size=N": byte i is i % 251.
std::string Pattern(size_t size);
// An INI file of at least size bytes, many network chunks long.
std::string IniFile(size_t size);

}  // namespace testweb
