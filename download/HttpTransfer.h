// Types and checks of the HTTP transfers that CSetupApp runs on worker threads.
#pragma once
#include <cstddef>
#include <cstdint>

// Told the size of every chunk of a package download before the chunk is read.
typedef void (*DownloadProgressCallback)(void* pContext, uint32_t nBytes);

// True when the first chunk of a response can begin an INI file: a "[" and,
// after it in the same chunk, a "]". Error pages of web servers fail it.
bool LooksLikeIniStart(const char* data, size_t size);
