// The product's entry in the system's list of installed programs ("Apps &
// features"), and the copy of the wizard that its commands start, kept in the
// install folder with the files it reads beside it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Named apart from the old single products, whose entries detection looks for.
constexpr char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORBEL ZEP Client";
// The kept copy's folder within the install folder.
constexpr char kKeptSetupFolder[] = "Setup";
// The option that opens the wizard at the Components page.
constexpr char kModifyOption[] = "/modify";

struct CProductEntry {
    std::string m_strName;
    std::string m_strVersion;
    std::string m_strPublisher;
    std::string m_strInstallDir;
    // The kept copy of the wizard.
    std::string m_strProgram;
    // The installed components' keys, which its quiet removal names.
    std::vector<std::string> m_installedKeys;
    int64_t m_nInstalledBytes = 0;
};

struct CEntryValue {
    const char* m_pszName;
    DWORD m_dwType;
    // Decimal text for REG_DWORD.
    std::string m_strData;
};

// The values the entry holds; free of the registry, so a test reads them whole.
std::vector<CEntryValue> UninstallEntryValues(const CProductEntry& entry);

// After components were installed or removed: while any is installed, the
// kept copy is made or updated and the entry written with the sizes of now;
// once none is, both go.
void UpdateUninstallEntry();
