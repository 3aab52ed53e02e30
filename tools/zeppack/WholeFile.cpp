#include "tools/zeppack/WholeFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

bool ReadWholeFile(const std::string& path, std::string& data, long long& modified, std::string& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    if (info.st_size > INT32_MAX) {
        error = "cannot read " + path + ": larger than 2147483647 bytes";
        return false;
    }
    modified = (long long)info.st_mtime;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    data.resize(size_t(info.st_size));
    const size_t read = std::fread(&data[0], 1, data.size(), file);
    const bool complete = read == data.size() && !std::ferror(file);
    std::fclose(file);
    if (!complete) error = "cannot read " + path + ": read error";
    return complete;
}

bool WriteWholeFile(const std::string& path, const std::string& data, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (std::fclose(file) != 0 || !written) {
        std::remove(path.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zeppack: %s\n", message.c_str());
    return 1;
}
