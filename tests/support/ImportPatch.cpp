#include "support/ImportPatch.h"

#include <wininet.h>

#include <cstring>

namespace testsupport {

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    ForEachImportedDll(base, [&](const IMAGE_IMPORT_DESCRIPTOR& module) {
        if (m_pSlot || lstrcmpiA(reinterpret_cast<char*>(base + module.Name), dll) != 0) return;
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module.OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module.FirstThunk);
        for (; name->u1.AddressOfData && !m_pSlot; ++name, ++slot) {
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                m_pSlot = reinterpret_cast<void**>(&slot->u1.Function);
        }
    });
    if (m_pSlot) m_pOriginal = Swap(replacement);
}

ImportPatch::~ImportPatch() {
    if (m_pSlot) Swap(m_pOriginal);
}

void* ImportPatch::Swap(void* value) {
    DWORD protect = 0;
    ::VirtualProtect(m_pSlot, sizeof(void*), PAGE_READWRITE, &protect);
    void* old = *m_pSlot;
    *m_pSlot = value;
    ::VirtualProtect(m_pSlot, sizeof(void*), protect, &protect);
    return old;
}

namespace {

typedef BOOL(WINAPI* QueryDataAvailableFn)(HINTERNET, LPDWORD, DWORD, DWORD_PTR);
QueryDataAvailableFn g_realQuery = nullptr;
int g_queriesBeforeFailure = 0;

BOOL WINAPI QueryFailingLater(HINTERNET hRequest, LPDWORD pnAvailable, DWORD flags, DWORD_PTR context) {
    if (g_queriesBeforeFailure-- > 0) return g_realQuery(hRequest, pnAvailable, flags, context);
    ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
}

BOOL WINAPI FailingRead(HINTERNET, LPVOID, DWORD, LPDWORD) {
    ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
}

}  // namespace

InternetFault::InternetFault(Kind kind, int queriesBeforeFailure)
    : m_patch("wininet.dll", kind == QueryFailsLater ? "InternetQueryDataAvailable" : "InternetReadFile",
              kind == QueryFailsLater ? reinterpret_cast<void*>(&QueryFailingLater)
                                      : reinterpret_cast<void*>(&FailingRead)) {
    if (kind == QueryFailsLater) g_realQuery = reinterpret_cast<QueryDataAvailableFn>(m_patch.Original());
    g_queriesBeforeFailure = queriesBeforeFailure;
}

namespace {

LONG WINAPI FailingHashData(void*, UCHAR*, ULONG, ULONG) { return LONG(0xC0000001L); }

}  // namespace

HashFault::HashFault() : m_patch("bcrypt.dll", "BCryptHashData", reinterpret_cast<void*>(&FailingHashData)) {}

}  // namespace testsupport
