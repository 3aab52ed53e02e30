// Types and checks of the HTTP transfers that CSetupApp runs on worker threads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Told the size of every chunk of a package download before the chunk is read.
typedef void (*DownloadProgressCallback)(void* pContext, uint32_t nBytes);

// True when the first chunk of a response can begin an INI file: a "[" and,
// after it in the same chunk, a "]". Error pages of web servers fail it.
bool LooksLikeIniStart(const char* data, size_t size);

// The file a transfer writes before it replaces localPath: unique to the
// calling process and thread, so a transfer that is still running after its
// caller gave up never meets a later transfer of the same file.
std::string PartialFilePath(const std::string& localPath);
