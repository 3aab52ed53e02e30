// The product's entry in the system's list of installed programs ("Apps &
// features"), and the copy of the wizard that its commands start, kept in the
// install folder with the files it reads beside it.
#pragma once

// Named apart from the old single products, whose entries detection looks for.
constexpr char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORBEL ZEP Client";
// The kept copy's folder within the install folder.
constexpr char kKeptSetupFolder[] = "Setup";

// After components were installed or removed: while any is installed, the
// kept copy is made or updated and the entry written with the sizes of now;
// once none is, both go.
void UpdateUninstallEntry();
