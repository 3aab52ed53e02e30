#include "install/BesideCopy.h"

std::string BesideName(const std::string& target) { return target + ".new~"; }

static DWORD LastErrorUnless(BOOL done) { return done ? ERROR_SUCCESS : ::GetLastError(); }

// The name is known to anyone who can write the folder: a file or link put
// there is deleted, and one put there again in between fails the copy
// rather than be written through.
DWORD CopyBeside(const std::string& source, const std::string& target) {
    const std::string beside = BesideName(target);
    ::DeleteFileA(beside.c_str());
    const DWORD error = LastErrorUnless(
        ::CopyFileExA(source.c_str(), beside.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS));
    if (error != ERROR_SUCCESS) ::DeleteFileA(beside.c_str());
    return error;
}

DWORD MoveBesideOver(const std::string& target) {
    return LastErrorUnless(::MoveFileExA(BesideName(target).c_str(), target.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

DWORD ReplaceByCopy(const std::string& source, const std::string& target) {
    DWORD error = CopyBeside(source, target);
    if (error == ERROR_SUCCESS && (error = MoveBesideOver(target)) != ERROR_SUCCESS)
        ::DeleteFileA(BesideName(target).c_str());
    return error;
}
