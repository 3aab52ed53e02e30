// The folders the elevated wizard makes for its own use: writable by
// administrators and the system alone, whoever could write where they lie.
// The wizard later trusts what it put there (decoded copies, the kept copy
// that the Apps & features entry starts as administrator).
#pragma once
#include <windows.h>

#include <string>

// Administrators and SYSTEM full control, Users read and execute, nothing
// inherited: the rights the Program Files folder gives.
constexpr char kProtectedFolderSddl[] = "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

// The attributes that create a folder with kProtectedFolderSddl; null when
// the platform could not build them.
SECURITY_ATTRIBUTES* ProtectedFolderAttributes();

// A new folder with kProtectedFolderSddl; false when it exists already or
// could not be made so. The 95/98 family keeps no rights on files: there
// it is a plain folder.
bool CreateProtectedFolder(const std::string& path);

// A new protected folder in parent (the temporary folder, which others may
// write), named prefix, the process id and a number; empty when none could
// be made.
std::string MakeProtectedFolderIn(const std::string& parent, const std::string& prefix);

// True when the folder is owned by Administrators or SYSTEM and grants
// writes to nobody else (always on the 95/98 family, where there is nobody
// else to tell apart); false also when its descriptor cannot be read.
bool OnlyAdministratorsWrite(const std::string& path);

// An existing folder given Administrators as owner and kProtectedFolderSddl;
// false when the platform refused.
bool ProtectFolder(const std::string& path);

// Deletes the files of folder and its empty subfolders; links are removed,
// never followed.
void EmptyFolder(const std::string& folder);
