// zeppack: the publisher's packing tool. Makes a compressed package file
// from any file and prints the matching line for the Files section of a
// package info file; with -x it checks a package by unpacking it; keygen and
// sign sign the setup catalogue.
#include "app/NumberText.h"
#include "install/PackageFile.h"
#include "tools/zeppack/Packer.h"
#include "tools/zeppack/PeVersion.h"
#include "tools/zeppack/Sha256.h"
#include "tools/zeppack/WholeFile.h"
#ifdef ZEPPACK_SIGNING
#include "tools/zeppack/Signing.h"
#endif

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kUsage[] =
    "usage: zeppack [options] INPUT PACKAGE\n"
    "       zeppack -x PACKAGE FOLDER\n"
    "       zeppack keygen KEYFILE\n"
    "       zeppack sign [-S SERIAL] KEYFILE ZEP_SIF [FILE...]\n"
    "Makes the compressed package file PACKAGE from INPUT and prints its Files line, then its Hashes line.\n"
    "  -n NAME     installed file name (default: the name of INPUT)\n"
    "  -v VERSION  file version a.b.c.d (default: INPUT's version resource, else 0.0.0.0)\n"
    "  -t SECONDS  file time, seconds since 1970-01-01 UTC (default: INPUT's modification time)\n"
    "  -b DIGIT    block size 1..9, times 100000 bytes (default: 9)\n"
    "  -T TEXT     header text (default: the name of INPUT)\n"
    "  -s ID       source id (default: 0)\n"
    "  -f ID       folder id (default: 0)\n"
    "  -F FLAGS    flags: 1 keep on removal, 2 skip on Windows 9x, 4 skip on NT (default: 0)\n"
    "-x unpacks PACKAGE into FOLDER and prints its version and time; exit code 1 when it is damaged.\n"
    "keygen writes a new ECDSA P-256 private key to KEYFILE (never over an existing file) and prints\n"
    "its PublicKey= line for the local setup information file.\n"
    "sign replaces the [Release] and [Hashes] sections of ZEP_SIF with SERIAL (1 to 18 digits, default:\n"
    "the UTC time as YYYYMMDDhhmmss) and the SHA-256 of each FILE, then writes its signature to ZEP_SIF.sig.\n"
    "keygen and sign need the native build.\n";

struct COptions {
    std::string strName, strText, strInput, strOutput;
    bool bHasName = false, bHasText = false, bHasVersion = false, bHasTime = false, bExtract = false;
    int64_t nVersion = 0;
    long long nTime = 0;
    int nBlockDigit = 9, nSourceId = 0, nFolderId = 0, nFlags = 0;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "zeppack: %s\n%s", message.c_str(), kUsage);
    return 2;
}


std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ParseInteger(const char* text, long long low, long long high, long long& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

bool ParseOptions(int argc, char** argv, COptions& options, std::string& error) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        const std::string option = argv[i];
        if (option == "-x") {
            options.bExtract = true;
            continue;
        }
        if (option.size() != 2 || std::strchr("nvtbTsfF", option[1]) == nullptr) {
            error = "unknown option " + option;
            return false;
        }
        if (i + 1 >= argc) {
            error = "option " + option + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        long long number = 0;
        bool valid = true;
        switch (option[1]) {
        case 'n': options.strName = value; options.bHasName = true; break;
        case 'T': options.strText = value; options.bHasText = true; break;
        case 'v': options.nVersion = ParseVersion64(value); options.bHasVersion = true; break;
        case 't': valid = ParseInteger(value, 0, INT32_MAX, options.nTime); options.bHasTime = true; break;
        case 'b': valid = ParseInteger(value, 1, 9, number); options.nBlockDigit = int(number); break;
        case 's': valid = ParseInteger(value, INT32_MIN, UINT32_MAX, number); options.nSourceId = int(number); break;
        case 'f': valid = ParseInteger(value, INT32_MIN, UINT32_MAX, number); options.nFolderId = int(number); break;
        case 'F': valid = ParseInteger(value, INT32_MIN, UINT32_MAX, number); options.nFlags = int(number); break;
        }
        if (!valid) {
            error = "bad value for " + option + ": " + value;
            return false;
        }
    }
    if (argc - i != 2) {
        error = "expected two file arguments";
        return false;
    }
    options.strInput = argv[i];
    options.strOutput = argv[i + 1];
    return true;
}



std::string VersionText(int64_t version) {
    const uint64_t v = uint64_t(version);
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(v >> 48), unsigned(v >> 32 & 0xFFFF),
                  unsigned(v >> 16 & 0xFFFF), unsigned(v & 0xFFFF));
    return text;
}

// Local time, month first, the form that the wizard's date reader takes
// for US English.
bool DateText(long long seconds, std::string& text) {
    int year, month, day, hour, minute, second;
#ifdef _WIN32
    // The wizard converts with the system's time zone rules; the C runtime
    // would follow a TZ variable instead.
    const uint64_t ticks = uint64_t(seconds + 11644473600LL) * 10000000u;
    const FILETIME fileTime = {DWORD(ticks), DWORD(ticks >> 32)};
    SYSTEMTIME utc, local;
    if (!::FileTimeToSystemTime(&fileTime, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return false;
    year = local.wYear, month = local.wMonth, day = local.wDay;
    hour = local.wHour, minute = local.wMinute, second = local.wSecond;
#else
    const std::time_t time = std::time_t(seconds);
    const std::tm* local = std::localtime(&time);
    if (!local) return false;
    year = local->tm_year + 1900, month = local->tm_mon + 1, day = local->tm_mday;
    hour = local->tm_hour, minute = local->tm_min, second = local->tm_sec;
#endif
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", month, day, year, hour, minute, second);
    text = buffer;
    return true;
}

// Whether the wizard reads the name back from a Files line: a plain file name
// (it drops others), without the line's separators, not starting a comment.
bool FitsFilesLine(const std::string& name, const char* separators) {
    return !name.empty() && name != "." && name != ".." && name[0] != '#' &&
           name.find_first_of(std::string("\\/:") + separators) == std::string::npos;
}

int Pack(const COptions& options) {
    const std::string name = options.bHasName ? options.strName : BaseName(options.strInput);
    const std::string source = BaseName(options.strOutput);
    if (!FitsFilesLine(name, "=") || !FitsFilesLine(source, ",")) {
        std::fprintf(stderr, "zeppack: \"%s\" or \"%s\" cannot stand in a Files line; choose other names\n",
                     name.c_str(), source.c_str());
        return 2;
    }
    std::string data, error;
    long long modified = 0;
    if (!ReadWholeFile(options.strInput, data, modified, error)) return Fail(error);
    const long long time = options.bHasTime ? options.nTime : modified;
    if (time < 0 || time > INT32_MAX) return Fail("the time of " + options.strInput + " is outside 1970..2038; use -t");
    std::string date;
    if (!DateText(time, date)) return Fail("cannot express the time " + std::to_string(time) + " as a local date");
    int64_t version = options.nVersion;
    if (!options.bHasVersion && !ReadPeFileVersion(data, version)) version = 0;

    const std::string text = options.bHasText ? options.strText : BaseName(options.strInput);
    std::string package;
    if (!PackBytes(data, text, int32_t(time), version, options.nBlockDigit, package))
        return Fail("compression of " + options.strInput + " failed");
    if (!WriteWholeFile(options.strOutput, package, error)) return Fail(error);

    std::printf("%s=%s,%s,%d,%s,%d,%d,%d,%d\n", name.c_str(), VersionText(version).c_str(), date.c_str(),
                int(data.size()), source.c_str(), int(package.size()), options.nSourceId,
                options.nFolderId, options.nFlags);
    // The line of the Hashes section, for the package as it will lie on the site.
    const std::string hash = Sha256Hex(package);
    if (hash.empty()) return Fail("cannot hash " + options.strOutput);
    std::printf("%s=%s\n", source.c_str(), hash.c_str());
    return 0;
}

int Extract(const COptions& options) {
    int64_t version = 0;
    int32_t time = 0;
    if (!ProbePackageFile(options.strInput, version, time))
        return Fail(options.strInput + " is not a compressed package file");
    const std::string name = BaseName(options.strInput);
    const std::string folder = options.strInput.substr(0, options.strInput.size() - name.size());
    if (!UnpackPackageFile(folder.empty() ? "." : folder, name, options.strOutput))
        return Fail(options.strInput + " is damaged or cannot be unpacked");
    std::string date;
    if (!DateText(time, date)) date = std::to_string(time);
    std::printf("%s: version %s, time %s\n", options.strInput.c_str(), VersionText(version).c_str(), date.c_str());
    return 0;
}

// The command lines of keygen and sign; args follow the verb.
int SigningVerb(const std::string& verb, [[maybe_unused]] std::vector<std::string> args) {
#ifdef ZEPPACK_SIGNING
    if (verb == "keygen") return args.size() == 1 ? Keygen(args[0]) : UsageError("keygen takes one file argument");
    std::string serial;
    if (!args.empty() && args[0] == "-S") {
        if (args.size() < 2) return UsageError("option -S needs a value");
        serial = args[1];
        args.erase(args.begin(), args.begin() + 2);
        // Digits only, so that the wizard can compare serials as numbers of up to 18 digits.
        if (serial.empty() || serial.size() > 18 || serial.find_first_not_of("0123456789") != std::string::npos)
            return UsageError("bad value for -S: " + serial);
    } else {
        const std::time_t now = std::time(nullptr);
        char text[16];
        std::strftime(text, sizeof text, "%Y%m%d%H%M%S", std::gmtime(&now));
        serial = text;
    }
    if (!args.empty() && args[0][0] == '-') return UsageError("unknown option " + args[0]);
    if (args.size() < 2) return UsageError("sign needs KEYFILE and ZEP_SIF");
    return Sign(serial, args[0], args[1], std::vector<std::string>(args.begin() + 2, args.end()));
#else
    std::fprintf(stderr, "zeppack: %s needs libcrypto, which this build lacks; use the native zeppack\n",
                 verb.c_str());
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "keygen") == 0 || std::strcmp(argv[1], "sign") == 0))
        return SigningVerb(argv[1], std::vector<std::string>(argv + 2, argv + argc));
    COptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) return UsageError(error);
    return options.bExtract ? Extract(options) : Pack(options);
}
