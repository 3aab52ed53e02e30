// Helpers shared by the unit and end-to-end tests: scratch folders, files,
// and the locations that the test runner passes in the environment.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

using Lines = std::vector<std::string>;

// Folder of the built programs (zepsetup.exe, robot.exe), as a Windows path.
std::string BinDir();
// The source tree, as a Windows path.
std::string SourceDir();
// Where screenshots and other artefacts of a run are kept.
std::string ArtefactsDir();

// A new empty folder below the current folder; removed again by the caller
// when it wants to (tests leave them for inspection).
std::string MakeScratchDir(const std::string& name);
// The test run's tiny volume, which a few files fill; a failure when the
// runner set none.
std::string SmallVolume();
// The current folder is dir for the life of the object.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& dir);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::string m_strOld;
};
void RemoveTree(const std::string& path);

bool WriteFile(const std::string& path, const std::string& content);
bool ReadFile(const std::string& path, std::string& content);
bool FileExists(const std::string& path);
// The names of the files (not folders) directly in dir, sorted.
Lines SortedFilesIn(const std::string& dir);
// A text the product stored below HKLM\key as a reader asking for REG_SZ
// alone finds it: "-" when there is none, "<type N>" when it has another type.
std::string StoredText(const std::string& key, const char* name);
// The platform's renames at the next restart, each string followed by "|".
std::string PendingRenames();
// A file's or folder's owner and access list as text (SDDL); its access
// list set from such a text, as another account could have set it.
std::string Descriptor(const std::string& path);
bool SetDescriptor(const std::string& path, const char* sddl);
// What another program managed to do to the file at path: " written",
// " replaced" (by a file of its own), " deleted"; empty when all were refused.
std::string Intrusions(const std::string& path);

}  // namespace testsupport
