// Downloads one address with DownloadPackageFile and prints the bytes and the
// seconds it took: the wizard's side of tools/bench-download.sh. With "page
// SIZE" the Downloading page fetches it, in a wizard on the screen, showing
// its progress as a user sees it.
#include "app/SetupApp.h"
#include "app/WizardPages.h"
#include "app/SetupWizard.h"
#include "install/PackageInfo.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>

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

// One package of one file, url's last part, fetched into localPath's folder.
int RunPage(const std::string& url, const std::string& localPath, int size) {
    const size_t slash = url.rfind('/'), backslash = localPath.rfind('\\');
    CDownloadSite site;
    site.m_strURL = url.substr(0, slash + 1);
    theApp.m_pSelectedSite = &site;
    theApp.m_strDownloadDir = localPath.substr(0, backslash + 1);
    CComponent component;
    auto package = std::make_unique<CPackageInfo>("Bench", &component);
    auto* pFile = new CPackageFile;
    pFile->m_strSource = url.substr(slash + 1);
    pFile->m_nPackedSize = size;
    package->m_listFiles.push_back(pFile);
    package->m_bNeedInfo = false;
    package->m_nFilesToDownload = 1;
    theApp.m_mapPackages.SetAt("Bench", std::move(package));
    theApp.m_nPackagesToDownload = 1;
    theApp.m_nDownloadOnly = 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    CSetupWizard sheet;
    CTimedDownloadingPage page;
    sheet.AddPage(&page);
    sheet.SetWizardMode();
    sheet.DoModal();
    if (theApp.m_nPackagesToDownload != 0) {
        std::fprintf(stderr, "the Downloading page did not fetch the file\n");
        return 1;
    }
    std::printf("%d %.6f\n", size, Seconds(page.m_start, page.m_end));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "page")) {
        std::fprintf(stderr, "usage: bench_download URL LOCALPATH [page SIZE]\n");
        return 2;
    }
    theApp.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!theApp.m_hInternet) {
        std::fprintf(stderr, "no internet session\n");
        return 1;
    }
    if (argc == 5) return RunPage(argv[1], argv[2], std::atoi(argv[4]));
    uint32_t received = 0;
    const LARGE_INTEGER start = Now();
    int result = theApp.DownloadPackageFile(argv[1], argv[2], nullptr, nullptr, &received);
    const LARGE_INTEGER end = Now();
    if (result <= 0) {
        std::fprintf(stderr, "DownloadPackageFile failed: %d\n", result);
        return 1;
    }
    std::printf("%d %.6f\n", result, Seconds(start, end));
    return 0;
}
