#include "app/SetupRun.h"

#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/Registry.h"

#include <shlobj.h>

#include <vector>

static std::string EnvironmentValue(const char* name) {
    char value[MAX_PATH] = "";
    DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

std::string EnvironmentTempFolder() {
    std::string folder = EnvironmentValue("TEMP");
    if (folder.empty()) folder = EnvironmentValue("TMP");
    return folder.empty() ? "C:\\" : folder;
}

std::string InitialDownloadFolder() {
    std::string folder;
    if (ReadRegPath(ZEP_CLIENT_KEY, "DownloadPath", kRegPathLimit, folder)) return folder;
    folder = ReadProfileValue(kSetupInfoFile, "Product", "Source");
    if (!folder.empty()) return folder;
    char current[1024] = "";
    const DWORD length = ::GetCurrentDirectoryA(sizeof current, current);
    return length < sizeof current ? current : "";
}

std::string CSetupRun::RunDownloadFolder() const {
    return m_options.m_strSourceDir.empty() ? InitialDownloadFolder() : m_options.m_strSourceDir;
}

CSetupRun::CSetupRun() = default;
CSetupRun::~CSetupRun() = default;

int CSetupRun::WorkNotDone() const {
    int count = m_nPackagesFailed + m_nRemovalsRefused;
    for (const auto& entry : m_mapPackages)
        if (entry.second->m_bNeedInfo || entry.second->m_nFilesToDownload != 0) ++count;
    return count;
}

void CSetupRun::ReadPlatformFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    if (!::GetVersionExA(&info)) return;
    m_bWin9x = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    m_bWinNT = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void CSetupRun::ReadProgramsDir() {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_PROGRAMS, &pidl)) &&
        FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, &pidl)))
        return;
    char path[MAX_PATH] = "";
    ::SHGetPathFromIDListA(pidl, path);
    IMalloc* pMalloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&pMalloc))) {
        pMalloc->Free(pidl);
        pMalloc->Release();
    }
    m_strProgramsDir = path;
}

bool CSetupRun::LoadSetupInfo() {
    ReadProgramsDir();

    m_strProductName = ReadProfileValue(kSetupInfoFile, "Product", "Name");
    if (m_strProductName.empty()) return false;

    m_bNewInstall = !ReadRegPath(ZEP_CLIENT_KEY, "Path", kRegPathLimit, m_strInstallDir);
    if (m_bNewInstall) {
        m_strInstallDir = ReadProfileValue(kSetupInfoFile, "Product", "Destination");
        if (m_strInstallDir.empty()) return false;
    }

    m_strGroup = ReadProfileValue(kSetupInfoFile, "Product", "Group");
    if (m_strGroup.empty()) return false;
    m_strLocationsInfo = ReadProfileValue(kSetupInfoFile, "Product", "LocationsInfo");
    if (m_strLocationsInfo.empty()) return false;
    m_strBaseURL = ReadProfileValue(kSetupInfoFile, "Product", "BaseURL");
    if (m_strBaseURL.empty()) return false;
    // Another kind of address is no base address: every fetch of a list from
    // the setup site then fails at once, and the pages go on with local copies.
    if (!IsWebAddress(m_strBaseURL))
        m_strBaseURL.clear();
    else if (m_strBaseURL.back() != '/')
        m_strBaseURL += '/';
    m_strSetupInfoLocation = ReadProfileValue(kSetupInfoFile, "Product", "SetupInfoLocation");
    if (m_strSetupInfoLocation.empty()) return false;

    m_strTempDir = EnvironmentTempFolder();
    m_trust.LoadLocal(kSetupInfoFile);
    if (!m_trust.HasKey())
        m_log.Write("No publisher's key in the setup information file: nothing is verified against a publisher's "
                    "signature");
    return LoadComponents(kSetupInfoFile);
}

namespace {

// The component sections of one setup information file.
class CProfileComponentValues : public CComponentValues {
public:
    explicit CProfileComponentValues(const char* path) : m_path(path) {}
    std::string Text(const std::string& section, const char* key) override {
        return ReadProfileValue(m_path, section.c_str(), key);
    }
    int Number(const std::string& section, const char* key, int fallback) override {
        return int(::GetPrivateProfileIntA(section.c_str(), key, fallback, m_path));
    }

private:
    const char* m_path;
};

constexpr char kReleaseSerialValue[] = "ReleaseSerial";

uint64_t HighestReleaseSerial() {
    char text[32] = "";
    uint64_t serial = 0;
    ReadRegString(ZEP_CLIENT_KEY, kReleaseSerialValue, "", text, sizeof text);
    return ParseReleaseSerial(text, serial) ? serial : 0;
}

}  // namespace

CatalogueVerdict CSetupRun::CheckUpdatedComponents(const std::string& path, const std::string& sigPath,
                                                   CPinnedFiles& pin, uint64_t& serial) {
    return m_trust.CheckCatalogue(path, sigPath, HighestReleaseSerial(), serial, pin);
}

void CSetupRun::MergeUpdatedComponents() {
    const std::string path = m_strDownloadDir + kComponentList;
    if (!m_trust.HasKey()) {
        LoadComponents(path.c_str());
        return;
    }
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    CPinnedFiles pin;
    uint64_t serial = 0;
    const CatalogueVerdict verdict = CheckUpdatedComponents(path, path + kSignatureSuffix, pin, serial);
    if (verdict != CatalogueVerdict::kVerified) {
        m_log.Write("Refused " + path + ": " + CatalogueRefusalText(verdict));
        return;
    }
    LoadComponents(path.c_str());
    if (serial > HighestReleaseSerial())
        WriteRegString(ZEP_CLIENT_KEY, kReleaseSerialValue, std::to_string(serial).c_str());
    m_log.Write("Components list " + path + " verified: release " + std::to_string(serial));
}

bool CSetupRun::LoadComponents(const char* path) {
    std::vector<char> keys(32767, '\0');
    const DWORD length = ::GetPrivateProfileSectionA("Components", keys.data(), DWORD(keys.size()), path);
    CProfileComponentValues values(path);
    return MergeComponents(m_mapComponents, keys.data(), length, values);
}
