// Failures of the platform that no test server can provoke on loopback: one
// function this program imports is replaced for the life of the object.
#pragma once
#include <windows.h>

namespace testsupport {

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return m_pSlot != nullptr; }
    void* Original() const { return m_pOriginal; }

private:
    void* Swap(void* value);
    void** m_pSlot = nullptr;
    void* m_pOriginal = nullptr;
};

// Transfer failures of the platform's internet functions, for the life of
// the object: the available-data query fails after the given number of
// successful calls (a broken connection), or every read fails.
class InternetFault {
public:
    enum Kind { QueryFailsLater, ReadFails };
    InternetFault(Kind kind, int queriesBeforeFailure = 0);
    bool Applied() const { return m_patch.Applied(); }

private:
    ImportPatch m_patch;
};

// The platform's hashing fails, for the life of the object.
class HashFault {
public:
    HashFault();
    bool Applied() const { return m_patch.Applied(); }

private:
    ImportPatch m_patch;
};

}  // namespace testsupport
