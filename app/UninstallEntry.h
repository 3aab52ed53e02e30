// The product's entry in the system's list of installed programs ("Apps &
// features"), and the copy of the wizard that its commands start, kept with
// the files it reads beside it in a folder only administrators write.
#pragma once
#include <string>
#include <vector>

class CSetupRun;

// Named apart from the old single products, whose entries detection looks for.
constexpr char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORBEL ZEP Client";
// The kept copy's folder within the Program Files folder: the entry's
// commands run it as administrator, whatever install folder the user chose.
constexpr char kKeptSetupFolder[] = "ORBEL\\ZEP Setup";
// The command of the entry that removes the installed components without a
// window; program as the command line spells it.
std::string QuietRemovalCommand(const std::string& program, const std::vector<std::string>& keys);
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
