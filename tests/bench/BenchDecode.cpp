// Decodes one compressed package file with UnpackPackageFile and prints the
// seconds it took and the process's peak memory in kB (0 where the system
// does not tell): the program's side of tools/bench-decode.sh, built natively
// and for Windows.
#include "install/PackageFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long PeakKilobytes() {
    long peak = 0;
#ifdef __linux__
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::atol(line + 6);
        std::fclose(status);
    }
#endif
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_decode FOLDER NAME OUTPUT-FOLDER WORKERS (0: as the decoder chooses)\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    if (!UnpackPackageFile(argv[1], argv[2], argv[3], "", unsigned(std::atoi(argv[4])))) {
        std::fprintf(stderr, "UnpackPackageFile failed\n");
        return 1;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%.6f %ld\n", seconds.count(), PeakKilobytes());
    return 0;
}
