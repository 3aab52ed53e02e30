// SHA-256 by the platform's CNG (bcrypt.dll, bound late from the system
// folder): of install logs, and of package files as they arrive and where
// they are used.
#pragma once
#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <vector>

// A hash fed piece by piece. A step that fails (or a platform without CNG)
// leaves it failed: FinishHex then gives an empty text, which matches no hash.
class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Add(const void* data, size_t size);
    // The 32 bytes of the hash; empty when any step failed.
    std::string Finish();
    // The hash in lower-case hex; empty when any step failed.
    std::string FinishHex();

private:
    BCRYPT_ALG_HANDLE m_hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hHash = nullptr;
    bool m_bFailed = false;
};

// The hash of a file in lower-case hex; false when it cannot be read.
bool Sha256OfFile(const std::string& path, std::string& hex);

// path opened for reading with others' writes and deletes shut out;
// INVALID_HANDLE_VALUE when it cannot be.
HANDLE OpenHeld(const std::string& path);

// Files held open from the moment their hash was checked until they have
// been used, others' writes and deletes shut out: a folder that other
// accounts may write cannot change them in between.
class CPinnedFiles {
public:
    CPinnedFiles() = default;
    ~CPinnedFiles() { Release(); }
    CPinnedFiles(const CPinnedFiles&) = delete;
    CPinnedFiles& operator=(const CPinnedFiles&) = delete;

    // False, holding nothing more, when path cannot be read or its hash is not sha256.
    bool Pin(const std::string& path, const std::string& sha256);
    // The bytes of path, held from here on; false, holding nothing more,
    // when it cannot be read or is longer than maxBytes.
    bool Read(const std::string& path, size_t maxBytes, std::string& bytes);
    // path held as it is now, without a check of its own; false when it cannot be opened.
    bool Hold(const std::string& path);
    // A handle opened so by someone else, held from here on.
    void Adopt(HANDLE hFile) { m_handles.push_back(hFile); }
    void Release();

private:
    std::vector<HANDLE> m_handles;
};
