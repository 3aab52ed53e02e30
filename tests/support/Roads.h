// The product the road tests install with the real zepsetup.exe: its
// catalogue, package info files and package files, and what its pages show.
#pragma once
#include "support/WizardDriver.h"

#include <string>
#include <utility>
#include <vector>

namespace roads {

using File = std::pair<std::string, std::string>;

// Where the product installs.
extern const char kTarget[];
extern const std::string kBin;
extern const char kFinished[];
// The Bad package's damaged file, named once the Installing page is done.
extern const char kBadNamed[];
extern const wizard::Page kWelcomeOfRoad, kComponentsOfRoad, kPreparingOfRoad, kChooseSiteOfRoad, kDownloadingOfRoad,
    kInstallingOfRoad, kRemovingOfRoad, kFinishOfRoad;

// The catalogue: Base (plain files, one kept on removal, one per platform
// family, a shortcut), Tools at version 1.minor, which depends on Base, and
// Bad, whose compressed file is damaged. The setup web site is baseUrl.
std::string SetupInfo(int minor, const std::string& baseUrl);
// The package info files (*.pki) and package files of that catalogue.
std::vector<File> PackageInfos(int minor);
std::vector<File> PackageFiles(int minor);

// The product at 1.minor published below folder (served at url): the
// setup site (setup/ with the catalogue and the sites list, pki/) and, in
// region Europe, a good mirror, one whose every file stalls after its first
// bytes and one that has no files; one more in region America.
void PublishSite(const std::string& folder, const std::string& url, int minor);
extern const char kSitesShown[];
// The Choose site page's regions box, the region shown and its sites, as
// "Europe,America, Europe: Good mirror,...".
std::string Sites(HWND page);

// Where the Installing page left its unpack and copy bars, as "position/end"
// each; read while a later page shows.
std::string InstallingBars(HWND page);

}  // namespace roads
