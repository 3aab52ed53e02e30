// The product's entry in the system's list of installed programs ("Apps &
// features"), and the copy of the wizard that its commands start, kept with
// the files it reads beside it in a folder only administrators write.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class CSetupRun;

// Named apart from the old single products, whose entries detection looks for.
constexpr char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORBEL ZEP Client";
// The kept copy's folder within the Program Files folder: the entry's
// commands run it as administrator, whatever install folder the user chose.
constexpr char kKeptSetupFolder[] = "ORBEL\\ZEP Setup";
// The kept wizard cannot delete itself and its folder while it runs: asked
// to /uninstall, it hands the run (commandLine, its arguments) to a copy of
// itself in a new folder of the temporary folder, waits for it and ends
// with its exit code. False when this program is not the kept copy or the
// copy could not be started: the run is then its own.
bool HandOverUninstall(const std::string& commandLine, int& exitCode);

// The copy's side of a removal handed to it.
class CHandOver {
public:
    // What the kept wizard passed; false in any other run.
    bool Take();
    // Passes the exit code back and waits for the kept wizard to end; then,
    // with nothing of the product left installed, deletes it and its folder.
    // The copy is the one file left: its folder goes at the next restart.
    void Finish(CSetupRun& run, int exitCode);

private:
    HANDLE m_hKept = nullptr;
    HANDLE m_hResult = nullptr;
};
// Empty when the platform names no Program Files folder.
std::string KeptSetupFolder();

// A folder downloading only filled carries the product to a computer
// without the network: the wizard and the files it reads beside itself go
// there with the package files, so that the folder's own wizard installs.
void CompleteLayout(CSetupRun& run);

// After components were installed or removed: while any is installed, the
// kept copy is made or updated and the entry written with the sizes of now;
// once none is, both go.
void UpdateUninstallEntry(CSetupRun& run);
