#include "download/Proxy.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "download/HttpTransfer.h"
#include "framework/WinApp.h"
#include "framework/WorkerThread.h"

#include <mutex>
#include <vector>

namespace {

std::vector<std::string> Entries(const std::string& list) {
    std::vector<std::string> entries;
    size_t start = 0;
    while ((start = list.find_first_not_of("; \t", start)) != std::string::npos) {
        const size_t end = list.find_first_of("; \t", start);
        entries.push_back(list.substr(start, end - start));
        start = end;
    }
    return entries;
}

bool MatchesWildcard(const char* pattern, const char* text) {
    if (*pattern == '*') return MatchesWildcard(pattern + 1, text) || (*text && MatchesWildcard(pattern, text + 1));
    return *pattern ? *pattern == *text && MatchesWildcard(pattern + 1, text + 1) : !*text;
}

bool IsBypassed(const std::string& bypass, const std::string& host) {
    for (const std::string& entry : Entries(LowerAscii(bypass)))
        if (entry == "<local>" ? host.find('.') == std::string::npos : MatchesWildcard(entry.c_str(), host.c_str()))
            return true;
    return false;
}

// What the session knows of its proxy: its list and its exceptions.
bool SessionProxies(HINTERNET hInternet, std::string& proxies, std::string& bypass) {
    DWORD size = 0;
    ::InternetQueryOptionA(hInternet, INTERNET_OPTION_PROXY, nullptr, &size);
    std::vector<char> buffer(size + sizeof(INTERNET_PROXY_INFO));
    size = DWORD(buffer.size());
    if (!::InternetQueryOptionA(hInternet, INTERNET_OPTION_PROXY, buffer.data(), &size)) return false;
    const auto& info = *reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
    if (info.dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info.lpszProxy) return false;
    proxies = reinterpret_cast<const char*>(info.lpszProxy);
    bypass = info.lpszProxyBypass ? reinterpret_cast<const char*>(info.lpszProxyBypass) : "";
    return true;
}

}  // namespace

std::string ProxyServerFor(const std::string& proxies, const std::string& bypass, const std::string& url) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return "";
    const std::string scheme = LowerAscii(url.substr(0, schemeEnd));
    std::string host = url.substr(schemeEnd + 3, url.find_first_of("/?#", schemeEnd + 3) - schemeEnd - 3);
    host = LowerAscii(host.substr(host.rfind('@') + 1));
    host = host.substr(0, host[0] == '[' ? host.find(']') + 1 : host.find(':'));
    if (host.empty() || IsBypassed(bypass, host)) return "";
    std::string server;
    for (const std::string& entry : Entries(proxies)) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos && server.empty()) server = entry;
        if (equals != std::string::npos && LowerAscii(entry.substr(0, equals)) == scheme)
            return entry.substr(equals + 1);
    }
    return server;
}

std::string CSetupRun::ProxyFor(const std::string& url) {
    std::string proxies, bypass;
    return m_hInternet && SessionProxies(m_hInternet, proxies, bypass) ? ProxyServerFor(proxies, bypass, url) : "";
}

// Told once a run: a proxy that cannot be had fails every fetch, and the
// site's own messages would blame the site.
void CSetupRun::ReportFailedOpen(const std::string& url, DWORD dwError) {
    if (dwError != ERROR_INTERNET_CANNOT_CONNECT && dwError != ERROR_INTERNET_NAME_NOT_RESOLVED &&
        dwError != ERROR_INTERNET_TIMEOUT)
        return;
    const std::string proxy = ProxyFor(url);
    if (proxy.empty() || CWorkerThread::IsGivenUp() || m_bProxyReported.exchange(true)) return;
    AfxMessageBox("The proxy server " + proxy +
                  " could not be reached, so nothing can be downloaded.\nCheck the proxy settings in Internet "
                  "Options, or ask your network administrator.");
}

BOOL CSetupRun::PassProxyLogin(HINTERNET hRequest, const std::string& url) {
    for (;;) {
        // A 407 from a server reached directly is that server's error status, like any other.
        if (HttpStatusOf(hRequest) != HTTP_STATUS_PROXY_AUTH_REQ || ProxyFor(url).empty()) return TRUE;
        // Once refused, the user is not asked again at every file.
        if (m_bProxyLoginRefused || CWorkerThread::IsGivenUp()) return FALSE;
        // The proxy's page goes before the request is sent again on the same connection.
        char page[4096];
        for (DWORD read = 0, total = 0; total < 1 << 20; total += read)
            if (!::InternetReadFile(hRequest, page, sizeof page, &read) || read == 0) break;
        // Transfers asked at once wait for one dialog: a login given
        // meanwhile is the session's, and may already hold for this request.
        const int nLoginsSeen = m_nProxyLogins;
        std::lock_guard<std::mutex> guard(m_proxyLoginLock);
        if (m_nProxyLogins != nLoginsSeen) {
            if (!::HttpSendRequestA(hRequest, nullptr, 0, nullptr, 0)) return FALSE;
            continue;
        }
        if (m_bProxyLoginRefused) return FALSE;
        const CWinApp* pApp = AfxGetApp();
        HWND hOwner = pApp && ::IsWindow(pApp->m_hMainWnd) ? pApp->m_hMainWnd : ::GetDesktopWindow();
        // Windows answers Cancel with ERROR_CANCELLED, Wine with 0. A run
        // without a person has nobody to ask: as if Cancel was pressed.
        if (m_options.IsUnattended() || ::InternetErrorDlg(hOwner, hRequest, ERROR_INTERNET_INCORRECT_PASSWORD,
                               FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                   FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                               nullptr) != ERROR_INTERNET_FORCE_RETRY) {
            if (!m_bProxyLoginRefused.exchange(true) && !CWorkerThread::IsGivenUp()) {
                AfxMessageBox("The proxy server " + ProxyFor(url) +
                              " asks for a user name and password, and none was given, so nothing can be "
                              "downloaded.\nRun Setup again and enter your login for the proxy.");
            }
            return FALSE;
        }
        ++m_nProxyLogins;
        if (!::HttpSendRequestA(hRequest, nullptr, 0, nullptr, 0)) return FALSE;
    }
}
