#include "app/UninstallEntry.h"

#include "app/FolderSecurity.h"
#include "app/NumberText.h"
#include "app/PathText.h"
#include "app/ProfileSection.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "framework/WinApp.h"
#include "install/BesideCopy.h"
#include "install/FileSelection.h"
#include "select/Removal.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the wizard reads beside itself, copied with it: the setup information
// file, the license and the wait cursor.
const char* const kFilesBesideProgram[] = {"zepsetup.sif", "license.txt", "globe.ani"};
constexpr char kProgramName[] = "zepsetup.exe";
// Opens the wizard at the Components page.
constexpr char kModifyOption[] = "/modify";
// Set for the copy a removal is handed to: the kept wizard's process and the
// pipe that takes the copy's exit code, as handles the copy inherits.
constexpr char kHandedOverVariable[] = "ZEP_SETUP_HANDED_OVER";
// The folders of such copies in the temporary folder begin so.
constexpr char kHandOverFolderPrefix[] = "zepsetup-uninstall-";

struct CProductEntry {
    std::string m_strName;
    std::string m_strVersion;
    std::string m_strPublisher;
    std::string m_strInstallDir;
    // The kept copy of the wizard.
    std::string m_strProgram;
    // The installed components' keys.
    std::vector<std::string> m_installedKeys;
    int64_t m_nInstalledBytes = 0;
};

struct CEntryValue {
    const char* m_pszName;
    DWORD m_dwType;
    // Decimal text for REG_DWORD.
    std::string m_strData;
};

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The running wizard and those of its files that lie in folder ("": the
// current one), each with the name it has beside the program.
std::vector<std::pair<std::string, std::string>> WizardFiles(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files{{ProgramPath(), kProgramName}};
    for (const char* name : kFilesBesideProgram) {
        const std::string path = folder.empty() ? name : JoinPath(folder, name);
        if (FileExists(path)) files.emplace_back(path, name);
    }
    return files;
}

int64_t ProgramVersion(const std::string& path) {
    int64_t version = 0;
    int32_t time = 0;
    ProbeInstalledFile(path, version, time);
    return version;
}

// The copy is replaced only by a newer wizard, so an older setup run later
// does not take the place of the one the entry was made with; a file
// missing beside it is copied in any case. A folder that somebody else
// could write (one made before the wizard's) is taken back first, and what
// lay in it is not the wizard's.
bool KeepSetupCopy(CSetupRun& run, const std::string& folder) {
    const std::string running = ProgramPath(), kept = JoinPath(folder, kProgramName);
    if (running.empty() || _stricmp(running.c_str(), kept.c_str()) == 0) return !running.empty();
    run.CreateFolderPath(folder, true, true);
    const bool bTakenBack = !OnlyAdministratorsWrite(folder);
    if (bTakenBack) {
        if (!ProtectFolder(folder)) {
            run.m_log.Write("Could not make " + folder + " writable by administrators alone");
            return false;
        }
        run.m_log.Write("Made " + folder + " writable by administrators alone, and emptied it");
        EmptyFolder(folder);
    }
    const bool bNewer = bTakenBack || ProgramVersion(running) > ProgramVersion(kept);
    bool bKept = true;
    const auto copy = [&](const std::string& from, const std::string& to) {
        if (!bNewer && FileExists(to)) return;
        // A run cut short leaves the copy the entry starts whole, old or new.
        const DWORD error = ReplaceByCopy(from, to);
        if (error == ERROR_SUCCESS) return;
        run.m_log.Write("Could not copy " + from + " to " + to + ": error " + std::to_string(error));
        bKept = false;
    };
    // The wizard reads them from its current folder, by name.
    for (const auto& [from, name] : WizardFiles("")) copy(from, JoinPath(folder, name));
    return bKept;
}

// True when folder holds nothing but the file or folder name.
bool HoldsOnly(const std::string& folder, const char* name) {
    WIN32_FIND_DATAA found;
    const HANDLE hFind = ::FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    bool bOnly = true;
    do
        bOnly = strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0 ||
                _stricmp(found.cFileName, name) == 0;
    while (bOnly && ::FindNextFileA(hFind, &found));
    ::FindClose(hFind);
    return bOnly;
}

// A program cannot delete itself while it runs, nor its folder: the kept
// copy that runs the last removal leaves itself, and its folders when
// nothing else is in them, to the platform's delete at the next restart.
void RemoveKeptCopy(CSetupRun& run, const std::string& folder) {
    ::RemoveDirectoryA(run.m_strInstallDir.c_str());
    for (const char* name : kFilesBesideProgram) ::DeleteFileA(JoinPath(folder, name).c_str());
    const std::string kept = JoinPath(folder, kProgramName);
    const size_t slash = folder.rfind('\\');
    const std::string parent = folder.substr(0, slash), folderName = folder.substr(slash + 1);
    if (::DeleteFileA(kept.c_str()) || !FileExists(kept)) {
        ::RemoveDirectoryA(folder.c_str());
        ::RemoveDirectoryA(parent.c_str());
        return;
    }
    const std::pair<std::string, const char*> waiting[] = {
        {kept, nullptr}, {folder, kProgramName}, {parent, folderName.c_str()}};
    for (const auto& [path, onlyEntry] : waiting) {
        if (onlyEntry && !HoldsOnly(path, onlyEntry)) return;
        if (!::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            run.m_log.Write("Could not delete " + path + ": error " + std::to_string(::GetLastError()));
            return;
        }
        run.m_log.Write("Deleted at the next restart: " + path);
    }
}

CProductEntry ProductEntryOfNow(const CSetupRun& run, const std::string& folder) {
    CProductEntry entry;
    entry.m_strName = run.m_strProductName;
    entry.m_strVersion = ReadProfileValue(kSetupInfoFile, "Product", "Version");
    entry.m_strPublisher = ReadProfileValue(kSetupInfoFile, "Product", "Publisher");
    if (entry.m_strPublisher.empty()) entry.m_strPublisher = "ORBEL";
    entry.m_strInstallDir = run.m_strInstallDir;
    entry.m_strProgram = JoinPath(folder, kProgramName);
    int newest = 0;
    for (const auto& component : run.m_mapComponents) {
        const std::string record = std::string(ZEP_CLIENT_KEY "\\") + component.first;
        const int version = int(ReadRegDword(record.c_str(), "Version", 0));
        if (version == 0) continue;
        entry.m_installedKeys.push_back(component.first);
        entry.m_nInstalledBytes += LoggedFileBytes(component.first);
        newest = std::max(newest, version);
    }
    if (entry.m_strVersion.empty()) entry.m_strVersion = VersionToString(newest);
    return entry;
}

std::vector<CEntryValue> UninstallEntryValues(const CProductEntry& entry) {
    const std::string program = "\"" + entry.m_strProgram + "\"";
    return {
        {"DisplayName", REG_SZ, entry.m_strName},
        {"DisplayVersion", REG_SZ, entry.m_strVersion},
        {"Publisher", REG_SZ, entry.m_strPublisher},
        {"DisplayIcon", REG_SZ, entry.m_strProgram + ",0"},
        {"InstallLocation", REG_SZ, entry.m_strInstallDir},
        {"EstimatedSize", REG_DWORD, std::to_string((entry.m_nInstalledBytes + 1023) / 1024)},
        {"UninstallString", REG_SZ, program + " /uninstall"},
        {"ModifyPath", REG_SZ, program + " " + kModifyOption},
        // Deployment tools add /quiet to UninstallString themselves: that is this.
        {"QuietUninstallString", REG_SZ, program + " /uninstall /quiet"},
        {"NoRepair", REG_DWORD, "1"},
    };
}

}  // namespace

std::string KeptSetupFolder() {
    char programFiles[MAX_PATH] = "";
    return SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles))
               ? JoinPath(programFiles, kKeptSetupFolder)
               : "";
}

void UpdateUninstallEntry(CSetupRun& run) {
    const std::string folder = KeptSetupFolder();
    CProductEntry entry = ProductEntryOfNow(run, folder);
    if (entry.m_installedKeys.empty()) {
        DeleteRegKey(kUninstallEntryKey);
        // The kept wizard that handed this run its removal still runs: CHandOver::Finish removes it.
        if (!folder.empty() && !run.m_bHandedOver) RemoveKeptCopy(run, folder);
        return;
    }
    if (folder.empty() || !KeepSetupCopy(run, folder)) {
        run.m_log.Write("No entry in the list of installed programs: the wizard could not be kept in " + folder);
        return;
    }
    entry.m_nInstalledBytes += FileBytes(entry.m_strProgram);
    for (const char* name : kFilesBesideProgram) entry.m_nInstalledBytes += FileBytes(JoinPath(folder, name));
    bool bWritten = true;
    for (const CEntryValue& value : UninstallEntryValues(entry))
        bWritten = WriteRegValue(HKEY_LOCAL_MACHINE, kUninstallEntryKey, value.m_pszName, value.m_dwType,
                                 value.m_strData.c_str()) &&
                   bWritten;
    run.m_log.Write(bWritten ? "The entry in the list of installed programs is up to date"
                             : "The entry in the list of installed programs could not be written whole");
}

void CompleteLayout(CSetupRun& run) {
    char from[MAX_PATH], to[MAX_PATH];
    for (const auto& file : WizardFiles("")) {
        const std::string target = JoinPath(run.m_strDownloadDir, file.second);
        // A wizard started from the layout itself has its files there already.
        if (!::GetFullPathNameA(file.first.c_str(), MAX_PATH, from, nullptr) ||
            !::GetFullPathNameA(target.c_str(), MAX_PATH, to, nullptr) || _stricmp(from, to) == 0)
            continue;
        const DWORD error = ReplaceByCopy(from, to);
        run.m_log.Write(error == ERROR_SUCCESS ? "Layout: " + target
                                               : "Could not copy " + file.first + " to " + target + ": error " +
                                                     std::to_string(error));
    }
}

// The kept wizard reads the copy's exit code from a pipe, and the copy waits
// for the kept wizard's process to end before it deletes its file.
bool HandOverUninstall(const std::string& commandLine, int& exitCode) {
    const std::string folder = KeptSetupFolder(), running = ProgramPath();
    if (folder.empty() || _stricmp(running.c_str(), JoinPath(folder, kProgramName).c_str()) != 0) return false;
    // Writable by administrators alone: nobody swaps the copy before it runs.
    const std::string temp = MakeProtectedFolderIn(EnvironmentTempFolder(), kHandOverFolderPrefix);
    if (temp.empty()) return false;
    bool bCopied = true;
    for (const auto& [from, name] : WizardFiles(folder))
        bCopied = bCopied && ::CopyFileA(from.c_str(), JoinPath(temp, name).c_str(), FALSE);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr, hSelf = nullptr;
    const HANDLE hProcess = ::GetCurrentProcess();
    bool bStarted = bCopied && ::CreatePipe(&hRead, &hWrite, &inherited, 0) &&
                    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0) &&
                    ::DuplicateHandle(hProcess, hProcess, hProcess, &hSelf, SYNCHRONIZE, TRUE, 0);
    PROCESS_INFORMATION child{};
    if (bStarted) {
        const std::string copy = JoinPath(temp, kProgramName);
        std::string line = "\"" + copy + "\" " + commandLine;
        const std::string handOver = std::to_string(uintptr_t(hSelf)) + "|" + std::to_string(uintptr_t(hWrite));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ::SetEnvironmentVariableA(kHandedOverVariable, handOver.c_str());
        bStarted = ::CreateProcessA(copy.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, temp.c_str(), &startup,
                                    &child) != FALSE;
        ::SetEnvironmentVariableA(kHandedOverVariable, nullptr);
    }
    for (HANDLE handle : {hWrite, hSelf})
        if (handle) ::CloseHandle(handle);
    DWORD code = DWORD(kExitFailed), got = 0;
    // A copy that ended without a word passes its own exit code.
    if (bStarted && (!::ReadFile(hRead, &code, sizeof code, &got, nullptr) || got != sizeof code)) {
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::GetExitCodeProcess(child.hProcess, &code);
    }
    for (HANDLE handle : {hRead, child.hThread, child.hProcess})
        if (handle) ::CloseHandle(handle);
    if (!bStarted) {
        EmptyFolder(temp);
        ::RemoveDirectoryA(temp.c_str());
        return false;
    }
    exitCode = int(code);
    return true;
}

bool CHandOver::Take() {
    char value[MAX_PATH + 64] = "";
    const DWORD length = ::GetEnvironmentVariableA(kHandedOverVariable, value, sizeof value);
    ::SetEnvironmentVariableA(kHandedOverVariable, nullptr);
    const std::string text(value, length < sizeof value ? length : 0);
    const size_t bar = text.find('|');
    const std::string program = ProgramPath(), folder = program.substr(0, program.find_last_of('\\'));
    const std::string name = folder.substr(folder.find_last_of('\\') + 1);
    const std::string parent = folder.substr(0, folder.size() - name.size());
    // Only a copy in a folder of the temporary folder made for a hand-over, whatever the environment says.
    if (bar == std::string::npos || text.find_first_not_of("0123456789|") != std::string::npos ||
        _stricmp(parent.c_str(), JoinPath(EnvironmentTempFolder(), "").c_str()) != 0 ||
        name.rfind(kHandOverFolderPrefix, 0) != 0)
        return false;
    m_hKept = reinterpret_cast<HANDLE>(uintptr_t(std::strtoull(text.c_str(), nullptr, 10)));
    m_hResult = reinterpret_cast<HANDLE>(uintptr_t(std::strtoull(text.c_str() + bar + 1, nullptr, 10)));
    return m_hKept && m_hResult;
}

void CHandOver::Finish(CSetupRun& run, int exitCode) {
    if (!m_hResult) return;
    DWORD written = 0;
    ::WriteFile(m_hResult, &exitCode, sizeof exitCode, &written, nullptr);
    ::CloseHandle(m_hResult);
    m_hResult = nullptr;
    // Once the kept wizard has ended its file can go, and its folder with it.
    const bool bKeptEnded = ::WaitForSingleObject(m_hKept, 30000) == WAIT_OBJECT_0;
    ::CloseHandle(m_hKept);
    std::string displayName;
    const std::string kept = KeptSetupFolder();
    if (bKeptEnded && !kept.empty() && !ReadRegPath(kUninstallEntryKey, "DisplayName", kRegPathLimit, displayName))
        RemoveKeptCopy(run, kept);
    // This copy is the one file left.
    const std::string program = ProgramPath(), folder = program.substr(0, program.find_last_of('\\'));
    for (const char* name : kFilesBesideProgram) ::DeleteFileA(JoinPath(folder, name).c_str());
    for (const std::string& path : {program, folder})
        if (::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            run.m_log.Write("Deleted at the next restart: " + path);
}
