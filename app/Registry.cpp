#include "app/Registry.h"

#include "app/NumberText.h"

#include <cstring>
#include <vector>

static void CopyCut(char* buffer, int bufferSize, const char* text) {
    if (bufferSize <= 0) return;
    std::strncpy(buffer, text, bufferSize - 1);
    buffer[bufferSize - 1] = '\0';
}

static HKEY OpenForWriting(HKEY root, const char* key) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_WRITE, &hKey) == ERROR_SUCCESS) return hKey;
    if (::RegCreateKeyA(root, key, &hKey) == ERROR_SUCCESS) return hKey;
    return nullptr;
}

int ReadRegString(const char* key, const char* name, const char* defaultText, char* buffer, int bufferSize,
                  REGSAM view) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &hKey) != ERROR_SUCCESS) return 0;
    DWORD size = 0;
    if (::RegQueryValueExA(hKey, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size != 0) {
        std::vector<char> data(size + 1, '\0');
        DWORD read = size;
        if (::RegQueryValueExA(hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &read) ==
            ERROR_SUCCESS) {
            data[size] = '\0';
            CopyCut(buffer, bufferSize, data.data());
            ::RegCloseKey(hKey);
            return int(size) < bufferSize ? int(size) : bufferSize;
        }
    }
    ::RegCloseKey(hKey);
    if (defaultText) CopyCut(buffer, bufferSize, defaultText);
    return 0;
}

bool ReadRegPath(const char* key, const char* name, int maxChars, std::string& path, REGSAM view) {
    // One byte more than the limit lets a longer value show as such.
    std::vector<char> buffer(size_t(maxChars) + 2, '\0');
    if (ReadRegString(key, name, nullptr, buffer.data(), int(buffer.size()), view) == 0) return false;
    const std::string text = buffer.data();
    if (text.empty() || text.size() > size_t(maxChars)) return false;
    path = text;
    return true;
}

DWORD ReadRegDword(const char* key, const char* name, DWORD defaultValue) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) return defaultValue;
    // One byte more than a DWORD, so that longer data is seen as such.
    BYTE data[8] = {};
    DWORD size = sizeof data;
    LONG status = ::RegQueryValueExA(hKey, name, nullptr, nullptr, data, &size);
    ::RegCloseKey(hKey);
    if (status != ERROR_SUCCESS || size != sizeof(DWORD)) return defaultValue;
    DWORD value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

DWORD WriteRegDword(const char* key, const char* name, DWORD value) {
    HKEY hKey = OpenForWriting(HKEY_LOCAL_MACHINE, key);
    if (!hKey) return 0;
    LONG status = ::RegSetValueExA(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(hKey);
    return status == ERROR_SUCCESS ? value : 0;
}

bool WriteRegString(const char* key, const char* name, const char* text) {
    return WriteRegValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text);
}

bool DeleteRegValue(const char* key, const char* name) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_WRITE, &hKey) != ERROR_SUCCESS) return false;
    LONG status = ::RegDeleteValueA(hKey, name);
    ::RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}

bool DeleteRegKey(const char* key) { return ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS; }

bool FlushRegKey(const char* key) {
    HKEY hKey = OpenForWriting(HKEY_LOCAL_MACHINE, key);
    if (!hKey) return false;
    const bool flushed = ::RegFlushKey(hKey) == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return flushed;
}

bool WriteRegValue(HKEY root, const char* key, const char* name, DWORD type, const char* data) {
    HKEY hKey = OpenForWriting(root, key);
    if (!hKey) return false;
    LONG status = ERROR_INVALID_PARAMETER;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        // A list of strings ends with an empty one: a second terminator.
        const std::string text = type == REG_MULTI_SZ ? std::string(data) + '\0' : std::string(data);
        status = ::RegSetValueExA(hKey, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                  DWORD(text.size() + 1));
    } else if (type == REG_DWORD) {
        DWORD value = DWORD(ParseDecimal(data));
        status = ::RegSetValueExA(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    ::RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}
