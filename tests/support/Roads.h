// The product the road tests install with the real zepsetup.exe (its
// catalogue, package info files and package files, and what its pages show),
// and the one driver that walks a road of the program from a row.
#pragma once
#include "support/WizardDriver.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace roads {

using File = std::pair<std::string, std::string>;
using Steps = std::vector<wizard::Step>;

// Where the product installs, and where the roads keep its package files.
extern const char kTarget[];
extern const std::string kBin, kDownloads;
extern const char kFinished[];
// The Bad package's damaged file, named once the Installing page is done.
extern const char kBadNamed[];
extern const wizard::Page kWelcomeOfRoad, kComponentsOfRoad, kPreparingOfRoad, kChooseSiteOfRoad, kDownloadingOfRoad,
    kInstallingOfRoad, kRemovingOfRoad, kFinishOfRoad;

// The catalogue: Base (plain files, one kept on removal, one per platform
// family, a shortcut), Tools at version 1.minor, which depends on Base, and
// Bad, whose compressed file is damaged. The setup web site is baseUrl;
// transfers wait timeoutSec for a server (0: the program's own time).
std::string SetupInfo(int minor, const std::string& baseUrl, int timeoutSec = 0);
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
// The version a component's record holds, "0" for none.
std::string Record(const char* key);
// The product's program group.
std::string Group();

Steps operator+(Steps first, const Steps& then);
// Welcome to the Install or download page, given the folder (and download
// only).
Steps Intro(const std::string& folder, bool downloadOnly = false);
// The Components page once the site's list is in: everything to install.
extern const wizard::Step kComponentsFetched;
// From the Preparing page, whose total is shown, to the mirror in row.
Steps ToMirror(const char* total, int row);
// The Installing page, its box naming Bad, and Finish with both bars full.
extern const Steps kInstalled;
// From Welcome to the Preparing page without the site: both pages ask to go
// on with the local lists, and total bytes (default nothing) are to be
// downloaded.
Steps OfflineToPreparing(const std::string& folder, const std::string& total = "0");
// The first installation from the good mirror into kTarget, and its check.
Steps FirstInstall();
void CheckFirstInstall();

// A run of the real program: Tools at 1.minor on the site, on a computer
// that never had the product (fresh) or as the run before left it.
struct Road {
    std::string name;
    Steps steps;
    std::function<void()> check = [] {};
    int minor = 0;
    bool fresh = true;
    int timeoutSec = 0;
};
// Launches zepsetup.exe with the catalogue of the site at baseUrl, walks the
// road, waits for the program's end and checks what it left. Screenshots are
// numbered in the order taken when shotPrefix is given.
void Drive(const Road& road, const std::string& baseUrl, const std::string& shotPrefix = "");

}  // namespace roads
