#include "app/FolderSecurity.h"

#include "app/PathText.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>

namespace {

// Any of these lets its holder change what lies in the folder.
constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                               FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsAdministratorsOrSystem(PSID sid) {
    return ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(sid, WinLocalSystemSid);
}

// Entries only for what is created inside, for whoever creates it: only
// those who may write the folder create anything there.
bool IsForCreatorOnly(const ACE_HEADER& header, PSID sid) {
    return (header.AceFlags & INHERIT_ONLY_ACE) &&
           (::IsWellKnownSid(sid, WinCreatorOwnerSid) || ::IsWellKnownSid(sid, WinCreatorGroupSid));
}

bool IsWin9xFamily() { return (::GetVersion() & 0x80000000) != 0; }

PSECURITY_DESCRIPTOR BuildProtectedDescriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedFolderSddl, SDDL_REVISION_1, &descriptor,
                                                                  nullptr)
               ? descriptor
               : nullptr;
}

}  // namespace

// Built once and kept for the run.
SECURITY_ATTRIBUTES* ProtectedFolderAttributes() {
    static SECURITY_ATTRIBUTES attributes{sizeof attributes, BuildProtectedDescriptor(), FALSE};
    return attributes.lpSecurityDescriptor ? &attributes : nullptr;
}

bool CreateProtectedFolder(const std::string& path) {
    SECURITY_ATTRIBUTES* pAttributes = IsWin9xFamily() ? nullptr : ProtectedFolderAttributes();
    return (IsWin9xFamily() || pAttributes) && ::CreateDirectoryA(path.c_str(), pAttributes);
}

std::string MakeProtectedFolderIn(const std::string& parent, const std::string& prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder =
            JoinPath(parent, prefix + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt));
        if (CreateProtectedFolder(folder)) return folder;
        // A name somebody took first is not ours.
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return "";
}

bool OnlyAdministratorsWrite(const std::string& path) {
    if (IsWin9xFamily()) return true;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    // No list at all lets everyone do everything.
    bool safe = owner && IsAdministratorsOrSystem(owner) && dacl;
    for (DWORD i = 0; safe && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) {
            safe = false;
            break;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        safe = !(allowed->Mask & kWriteRights) || IsAdministratorsOrSystem(sid) || IsForCreatorOnly(*header, sid);
    }
    ::LocalFree(descriptor);
    return safe;
}

bool ProtectFolder(const std::string& path) {
    const SECURITY_ATTRIBUTES* attributes = ProtectedFolderAttributes();
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    return attributes &&
           ::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl, &defaulted) && dacl &&
           ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   administrators, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

void EmptyFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE hFind = ::FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        const std::string path = JoinPath(folder, found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileA(path.c_str());
        else if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            ::RemoveDirectoryA(path.c_str());
    } while (::FindNextFileA(hFind, &found));
    ::FindClose(hFind);
}
