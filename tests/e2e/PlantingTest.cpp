// A copy of zepsetup.exe in a folder where someone left DLLs with the names
// of the system DLLs it uses, started with Wine told to prefer DLLs that are
// not its own: the planted DLLs are never loaded, the system's are.
#include "app/PathText.h"
#include "support/ImportPatch.h"
#include "support/Roads.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>

using namespace roads;
using namespace wizard;

namespace {

// Not version.dll: Wine's own user32 imports it, and Wine prefers a DLL it
// finds beside the program, so Wine loads a planted one while the process
// starts, before any code of the program runs. Windows' user32 imports no
// such DLL; that the program itself names none of these in its import table
// is checked below.
const char* const kPlanted[] = {"wininet.dll", "setupapi.dll", "ctl3d32.dll"};

// The DLLs a program names in its import table, in lower case.
std::vector<std::string> ImportedDlls(const std::string& program) {
    std::vector<std::string> names;
    HMODULE image = ::LoadLibraryExA(program.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image) return names;
    auto* base = reinterpret_cast<BYTE*>(image);
    testsupport::ForEachImportedDll(base, [&](const IMAGE_IMPORT_DESCRIPTOR& entry) {
        names.push_back(LowerAscii(reinterpret_cast<const char*>(base + entry.Name)));
    });
    ::FreeLibrary(image);
    return names;
}

// Where the process loaded each of the planted names from, in lower case;
// "not loaded" for a name it has not loaded.
std::string LoadedFrom(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    HMODULE modules[512];
    DWORD bytes = 0;
    std::vector<std::string> paths;
    if (process && ::EnumProcessModules(process, modules, sizeof modules, &bytes)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
            char path[MAX_PATH] = "";
            ::GetModuleFileNameExA(process, modules[i], path, MAX_PATH);
            paths.push_back(LowerAscii(path));
        }
    }
    if (process) ::CloseHandle(process);
    std::string found;
    for (const char* name : kPlanted) {
        auto it = std::find_if(paths.begin(), paths.end(), [&](const std::string& path) {
            return path.size() > strlen(name) && path.compare(path.size() - strlen(name), strlen(name), name) == 0 &&
                   path[path.size() - strlen(name) - 1] == '\\';
        });
        found += std::string(name) + ": " + (it == paths.end() ? "not loaded" : *it) + "\n";
    }
    return found;
}

}  // namespace

TEST(Planting, DllsLeftBesideTheProgramAreNeverLoaded) {
    const std::string folder = testsupport::MakeScratchDir("planting-downloads");
    for (const char* file : {"zepsetup.exe", "globe.ani"})
        ASSERT_TRUE(::CopyFileA((testsupport::BinDir() + "\\" + file).c_str(), (folder + "\\" + file).c_str(), FALSE));
    for (const char* name : kPlanted)
        ASSERT_TRUE(::CopyFileA((testsupport::BinDir() + "\\planted.dll").c_str(), (folder + "\\" + name).c_str(),
                                FALSE));
    for (const std::string& dll : ImportedDlls(testsupport::BinDir() + "\\zepsetup.exe"))
        EXPECT_TRUE(dll != "version.dll" && dll != "wininet.dll" && dll != "setupapi.dll") << dll << " is imported";
    ASSERT_TRUE(::SetEnvironmentVariableA("WINEDLLOVERRIDES", "wininet,setupapi,ctl3d32=n,b"));
    Wizard run;
    const bool launched = run.Launch("planting", SetupInfo(0, "http://127.0.0.1:9/"), "", true, folder + "\\zepsetup.exe");
    ::SetEnvironmentVariableA("WINEDLLOVERRIDES", nullptr);
    ASSERT_TRUE(launched);
    for (const auto& files : {PackageInfos(0), PackageFiles(0)})
        for (const File& file : files) testsupport::WriteFile(run.Dir() + "\\" + file.first, file.second);
    ASSERT_TRUE(run.WaitForSheet());
    // Far enough for every late-bound DLL to be needed: the session at the
    // start, file versions and disk space on the Preparing page.
    EXPECT_TRUE(run.Walk(OfflineToPreparing(run.Dir())));
    EXPECT_EQ("wininet.dll: c:\\windows\\system32\\wininet.dll\n"
              "setupapi.dll: c:\\windows\\system32\\setupapi.dll\nctl3d32.dll: c:\\windows\\system32\\ctl3d32.dll\n",
              LoadedFrom(run.Pid()));
    run.ExpectCancel(Cancel::Asks, "planting-cancel");
    EXPECT_EQ((testsupport::Lines{"ctl3d32.dll", "globe.ani", "setupapi.dll", "wininet.dll", "zepsetup.exe"}),
              testsupport::SortedFilesIn(folder))
        << "a planted DLL was loaded";
}
