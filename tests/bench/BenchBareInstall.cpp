// The bare Win32 install that tools/bench.sh measures the wizard against,
// under Wine in the same prefix: each file fetched by one InternetOpenUrlA
// and InternetReadFile loop of 64 KB reads, the packed ones decoded by
// libbz2, and every installed file put in place by CopyFileA. Nothing of
// the program's own code: what the platform gives a plain program.
//   bench_bare_install LIST WORKDIR TARGET
// LIST holds one line per file: "URL<TAB>KIND<TAB>PATH", KIND "list" (only
// fetched, as the wizard fetches its lists), "plain" or "packed"; PATH is
// where the file goes below TARGET. Prints "<fetch> <decode> <copy>" seconds.
#include <windows.h>
#include <wininet.h>

#include <bzlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Item {
    std::string url, kind, path;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Every folder of path's parents, made.
void MakeParents(const std::string& path) {
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
}

bool Fetch(HINTERNET hSession, const std::string& url, const std::string& path) {
    const HINTERNET hRequest = ::InternetOpenUrlA(hSession, url.c_str(), nullptr, 0,
                                                  INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!hRequest) return false;
    MakeParents(path);
    const HANDLE hFile =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = hFile != INVALID_HANDLE_VALUE;
    static char buffer[64 * 1024];
    for (DWORD read = 0; ok && ::InternetReadFile(hRequest, buffer, sizeof buffer, &read) && read > 0;) {
        DWORD written = 0;
        ok = ::WriteFile(hFile, buffer, read, &written, nullptr) && written == read;
    }
    if (hFile != INVALID_HANDLE_VALUE) ::CloseHandle(hFile);
    ::InternetCloseHandle(hRequest);
    return ok;
}

// A packed file is a header that ends 12 bytes after its text's NUL, then a
// bzip2 stream without its first two bytes "BZ".
bool Decode(const std::string& packed, const std::string& output) {
    std::ifstream in(packed, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t nul = data.find('\0');
    if (nul == std::string::npos || data.size() < nul + 13) return false;
    const std::string stream = "BZ" + data.substr(nul + 13);
    bz_stream bz{};
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return false;
    bz.next_in = const_cast<char*>(stream.data());
    bz.avail_in = unsigned(stream.size());
    MakeParents(output);
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    static char buffer[256 * 1024];
    int status = BZ_OK;
    while (status == BZ_OK) {
        bz.next_out = buffer;
        bz.avail_out = sizeof buffer;
        status = BZ2_bzDecompress(&bz);
        out.write(buffer, std::streamsize(sizeof buffer - bz.avail_out));
    }
    BZ2_bzDecompressEnd(&bz);
    return status == BZ_STREAM_END && bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_bare_install LIST WORKDIR TARGET\n");
        return 2;
    }
    std::vector<Item> items;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        items.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    const std::string work = argv[2], target = argv[3];
    const HINTERNET hSession = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    auto start = std::chrono::steady_clock::now();
    for (const Item& item : items)
        if (!Fetch(hSession, item.url, work + "\\fetched\\" + item.path)) {
            std::fprintf(stderr, "fetch failed: %s\n", item.url.c_str());
            return 1;
        }
    const double fetchSeconds = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (const Item& item : items)
        if (item.kind == "packed" && !Decode(work + "\\fetched\\" + item.path, work + "\\decoded\\" + item.path)) {
            std::fprintf(stderr, "decode failed: %s\n", item.path.c_str());
            return 1;
        }
    const double decodeSeconds = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (const Item& item : items) {
        if (item.kind == "list") continue;
        const std::string from = work + (item.kind == "packed" ? "\\decoded\\" : "\\fetched\\") + item.path;
        const std::string to = target + "\\" + item.path;
        MakeParents(to);
        if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            std::fprintf(stderr, "copy failed: %s\n", to.c_str());
            return 1;
        }
    }
    std::printf("%.3f %.3f %.3f\n", fetchSeconds, decodeSeconds, Seconds(start));
    ::InternetCloseHandle(hSession);
    return 0;
}
