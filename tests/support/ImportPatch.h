// Failures of the platform that no test server can provoke on loopback: one
// function this program imports is replaced for the life of the object.
#pragma once
#include <windows.h>

namespace testsupport {

// Calls visit with the base address of the loaded image at base and each
// descriptor of its import table (one per DLL it imports).
template <class Visit>
void ForEachImportedDll(BYTE* base, Visit visit) {
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         imports.VirtualAddress && entry->Name; ++entry)
        visit(*entry);
}

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
