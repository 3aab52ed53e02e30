// A run of the wizard as its pages see it, for pages run inside a test
// program: the setup files a run reads and the application object's state.
#pragma once
#include <map>
#include <string>

namespace testsupport {

// A component's section of a setup information file: named "ZEP " + key,
// package info file key + ".pki" at location "pki" of the site, version,
// prerequisite.
std::string ComponentSection(const std::string& key, int version, const std::string& dependOn = "");
// A setup information file with the component keys (one per line) and their sections.
std::string SetupInfo(const std::string& keys, const std::string& sections);
// A package info file of version 1.0 whose files (name, size) are installed
// into the install folder from source 0.
std::string PackageInfoFile(const std::map<std::string, long long>& files);

// theApp as a run in folder dir on a computer where the given components are
// installed (a new computer when none is): the catalogue of setupInfo with its
// states computed, download folder dir\dl\, install and temporary folder
// dir\ZEP, the setup web site siteUrl with its list at location, an open
// internet session, install mode, the sites list "sites.ini" not yet loaded.
void PrepareRun(const std::string& dir, const std::string& setupInfo, const std::map<std::string, int>& installed,
                const std::string& siteUrl, const std::string& location);

}  // namespace testsupport
