// The wizard's side of tools/bench-download.sh: fetches one address round
// after round in this one process, five ways, and prints a line
// "<way> <bytes> <seconds>" for each fetch:
//   bare  the platform's read call alone, 64 KB at a time, into a file
//   avail the same loop reading what InternetQueryDataAvailable announces,
//         as a package transfer reads
//   call  DownloadPackageFile, without a progress callback
//   hash  the same, checking the file against its SHA-256 as it arrives
//   page  the Downloading page, in a wizard on the screen, showing its
//         progress as a user sees it
// Each fetch writes FOLDER\<the address's last part>, which is compared with
// the original file before the next fetch.
//   bench_download URL FOLDER ORIGINAL ROUNDS SHA256
#include "app/SetupApp.h"
#include "app/SetupWizard.h"
#include "app/WizardPages.h"
#include "install/PackageInfo.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

struct Fetch {
    long long bytes = -1;
    double seconds = 0;
};

// The same request flags as a package transfer.
const DWORD kPackageFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;
const DWORD kBareBlock = 64 * 1024;

// With announced, each read takes what InternetQueryDataAvailable announces
// (in a buffer of that size); else 64 KB.
Fetch BareRead(const std::string& url, const std::string& localPath, bool announced) {
    Fetch fetch;
    const LARGE_INTEGER start = Now();
    HINTERNET request = ::InternetOpenUrlA(theApp.m_hInternet, url.c_str(), nullptr, 0, kPackageFlags, 0);
    HANDLE file = ::CreateFileA(localPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (request && file != INVALID_HANDLE_VALUE) {
        std::vector<char> block(kBareBlock);
        DWORD size = kBareBlock, read = 0, written = 0;
        fetch.bytes = 0;
        while ((!announced || (::InternetQueryDataAvailable(request, &size, 0, 0) && size != 0)) &&
               (block.resize(size), ::InternetReadFile(request, block.data(), size, &read)) && read != 0 &&
               ::WriteFile(file, block.data(), read, &written, nullptr))
            fetch.bytes += read;
    }
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (request) ::InternetCloseHandle(request);
    fetch.seconds = Seconds(start, Now());
    return fetch;
}

// Without a hash any size is taken; with one, the size it belongs to.
Fetch CallDownload(const std::string& url, const std::string& localPath, long long size, const std::string& sha256) {
    Fetch fetch;
    int64_t received = 0;
    // The page's end stops transfers, as its Cancel does.
    theApp.m_bStopDownload = false;
    const LARGE_INTEGER start = Now();
    const int result = theApp.DownloadPackageFile(url, localPath, sha256.empty() ? INT64_MAX : size, nullptr, nullptr,
                                                  &received, sha256);
    fetch.seconds = Seconds(start, Now());
    if (result > 0) fetch.bytes = received;
    return fetch;
}

// The page from its start to the end of its pass, which then closes the wizard.
class CTimedDownloadingPage : public CDownloadingPage {
public:
    LARGE_INTEGER m_start{}, m_end{};

protected:
    void OnPageStart() override {
        m_start = Now();
        CDownloadingPage::OnPageStart();
    }
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == WM_DOWNLOAD_ENDED) {
            m_end = Now();
            m_bCancelNoConfirm = true;
            ::PostMessageA(GetParent(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        return CDownloadingPage::OnMessage(msg, wParam, lParam, result);
    }
};

// One package of one file, url's last part, fetched into the download folder.
Fetch RunPage(const std::string& url, long long size) {
    const size_t slash = url.rfind('/');
    static CDownloadSite site;
    site.m_strURL = url.substr(0, slash + 1);
    theApp.m_pSelectedSite = &site;
    static CComponent component;
    auto package = std::make_unique<CPackageInfo>(theApp, "Bench", &component);
    auto* pFile = new CPackageFile;
    pFile->m_strSource = url.substr(slash + 1);
    pFile->m_nPackedSize = size;
    package->m_listFiles.push_back(pFile);
    package->m_bNeedInfo = false;
    package->m_nFilesToDownload = 1;
    theApp.m_mapPackages.SetAt("Bench", std::move(package));
    theApp.m_nPackagesToDownload = 1;
    theApp.m_nDownloadOnly = 1;
    CSetupWizard sheet;
    CTimedDownloadingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    sheet.DoModal();
    Fetch fetch;
    if (theApp.m_nPackagesToDownload == 0) fetch.bytes = size;
    fetch.seconds = Seconds(page.m_start, page.m_end);
    return fetch;
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (same) {
        const size_t na = std::fread(ba.data(), 1, ba.size(), fa), nb = std::fread(bb.data(), 1, bb.size(), fb);
        same = na == nb && std::equal(ba.begin(), ba.begin() + long(na), bb.begin());
        if (na == 0) break;
    }
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_download URL FOLDER ORIGINAL ROUNDS SHA256\n");
        return 2;
    }
    const std::string url = argv[1], original = argv[3];
    theApp.m_strDownloadDir = std::string(argv[2]) + "\\";
    const std::string localPath = theApp.m_strDownloadDir + url.substr(url.rfind('/') + 1);
    theApp.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!theApp.m_hInternet) {
        std::fprintf(stderr, "no internet session\n");
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!::GetFileAttributesExA(original.c_str(), GetFileExInfoStandard, &info)) {
        std::fprintf(stderr, "no file %s\n", original.c_str());
        return 1;
    }
    const long long size = (long long)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    for (int round = std::atoi(argv[4]); round > 0; --round) {
        for (const char* way : {"bare", "avail", "call", "hash", "page"}) {
            ::DeleteFileA(localPath.c_str());
            const Fetch fetch = way[0] == 'b'   ? BareRead(url, localPath, false)
                                : way[0] == 'a' ? BareRead(url, localPath, true)
                                : way[0] == 'c' ? CallDownload(url, localPath, size, "")
                                : way[0] == 'h' ? CallDownload(url, localPath, size, argv[5])
                                                : RunPage(url, size);
            if (fetch.bytes != size || !SameFiles(localPath, original)) {
                std::fprintf(stderr, "%s: the copy differs from %s\n", way, original.c_str());
                return 1;
            }
            std::printf("%s %lld %.6f\n", way, fetch.bytes, fetch.seconds);
            std::fflush(stdout);
        }
    }
    ::DeleteFileA(localPath.c_str());
    return 0;
}
