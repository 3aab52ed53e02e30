#include "install/PendingRenames.h"

#include <windows.h>

#include <cwctype>

namespace {

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

std::wstring PlainPath(std::wstring path) {
    if (!path.empty() && path[0] == L'!') path.erase(0, 1);
    if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
    return path;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The program's own: its copy beside the target, or a temporary file of an
// earlier version's in the target's folder.
bool IsWaitingCopyFor(const std::wstring& source, const std::wstring& target) {
    return SameText(source, target + L".new~") ||
           (source.size() > 4 && SameText(source.substr(source.size() - 4), L".tmp") &&
            SameText(FolderOf(source), FolderOf(target)));
}

std::wstring Wide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), int(text.size()), &wide[0], length);
    return wide;
}

}  // namespace

std::wstring WithoutReplacementsOf(const std::wstring& value, const std::vector<std::wstring>& targets,
                                   std::vector<std::wstring>& droppedSources) {
    std::vector<std::wstring> parts;
    for (size_t pos = 0; pos < value.size();) {
        size_t end = value.find(L'\0', pos);
        if (end == std::wstring::npos) end = value.size();
        parts.push_back(value.substr(pos, end - pos));
        pos = end + 1;
    }
    std::wstring kept;
    for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        const std::wstring source = PlainPath(parts[i]);
        const std::wstring target = PlainPath(parts[i + 1]);
        bool dropped = false;
        for (const std::wstring& removed : targets)
            dropped = dropped || (!target.empty() && SameText(target, removed) && IsWaitingCopyFor(source, target));
        if (dropped) {
            droppedSources.push_back(source);
            continue;
        }
        kept += parts[i] + L'\0' + parts[i + 1] + L'\0';
    }
    return kept.empty() ? kept : kept + L'\0';
}

static bool ReadPendingList(HKEY hKey, std::wstring& value) {
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(hKey, kPendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return false;
    value.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(hKey, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    value.resize(size / sizeof(wchar_t));
    return true;
}

// The list is read and written whole: the platform keeps no other form of it.
void CancelPendingReplacements(const std::vector<std::string>& targets) {
    if (targets.empty()) return;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return;
    std::wstring value;
    std::vector<std::wstring> dropped;
    if (ReadPendingList(hKey, value)) {
        std::vector<std::wstring> wideTargets;
        for (const std::string& target : targets) wideTargets.push_back(Wide(target));
        const std::wstring kept = WithoutReplacementsOf(value, wideTargets, dropped);
        const LSTATUS written =
            dropped.empty() ? ERROR_SUCCESS
            : kept.empty()  ? ::RegDeleteValueW(hKey, kPendingValue)
                            : ::RegSetValueExW(hKey, kPendingValue, 0, REG_MULTI_SZ,
                                               reinterpret_cast<const BYTE*>(kept.data()),
                                               DWORD(kept.size() * sizeof(wchar_t)));
        // A copy whose rename still stands is left for it.
        if (written != ERROR_SUCCESS) dropped.clear();
    }
    ::RegCloseKey(hKey);
    for (const std::wstring& source : dropped) ::DeleteFileW(source.c_str());
}
