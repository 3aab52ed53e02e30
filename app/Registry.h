// The registry store: what the program remembers between runs. Keys are
// below HKEY_LOCAL_MACHINE unless a root is passed.
#pragma once
#include <windows.h>

#include <string>

#define ZEP_CLIENT_KEY "SOFTWARE\\ORBEL\\ZEP\\Client"

// Bytes the stored text occupies (terminator included), at most bufferSize;
// 0 when the value could not be read. The text is cut to bufferSize - 1.
// view: 0 for the program's own registry view, or KEY_WOW64_32KEY /
// KEY_WOW64_64KEY for the other programs' one.
int ReadRegString(const char* key, const char* name, const char* defaultText, char* buffer, int bufferSize,
                  REGSAM view = 0);
// A text value that names a path or a command: false when it is missing,
// empty or longer than maxChars, since a cut path names another file.
constexpr int kRegPathLimit = 1023;
bool ReadRegPath(const char* key, const char* name, int maxChars, std::string& path, REGSAM view = 0);
DWORD ReadRegDword(const char* key, const char* name, DWORD defaultValue);
DWORD WriteRegDword(const char* key, const char* name, DWORD value);
bool WriteRegString(const char* key, const char* name, const char* text);
bool DeleteRegValue(const char* key, const char* name);
bool DeleteRegKey(const char* key);
// Puts what was written below key on disk now, not when the platform gets to it.
bool FlushRegKey(const char* key);
// Stores data of type REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ or REG_DWORD (the
// data is then decimal text).
bool WriteRegValue(HKEY root, const char* key, const char* name, DWORD type, const char* data);
