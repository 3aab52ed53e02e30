// Downloads one address with DownloadPackageFile and prints the bytes and the
// seconds it took: the wizard's side of tools/bench-download.sh.
#include "app/SetupApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_download URL LOCALPATH\n");
        return 2;
    }
    CSetupApp app;
    app.m_hInternet = ::InternetOpenA("ZEP Setup wizard", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!app.m_hInternet) {
        std::fprintf(stderr, "no internet session\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    uint32_t received = 0;
    ::QueryPerformanceCounter(&start);
    int result = app.DownloadPackageFile(argv[1], argv[2], nullptr, nullptr, &received);
    ::QueryPerformanceCounter(&end);
    ::InternetCloseHandle(app.m_hInternet);
    app.m_hInternet = nullptr;
    if (result <= 0) {
        std::fprintf(stderr, "DownloadPackageFile failed: %d\n", result);
        return 1;
    }
    std::printf("%d %.6f\n", result, double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    return 0;
}
