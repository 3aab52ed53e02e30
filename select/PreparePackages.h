// Preparing the run's packages without a window: the package info files
// still missing, and the disk space the selection needs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CComponent;
class CSetupRun;

// The space one drive needs and has; available is -1 when the drive could
// not be asked.
struct CDriveSpace {
    std::string m_strDrive;
    int64_t m_nRequired = 0;
    int64_t m_nAvailable = 0;
};

// One package info file to fetch: where from, where to, and the version it
// must have. The worker fetches into a file of its own; the page moves it
// into place once it has the worker's result.
struct CInfoFetch {
    std::string m_strKey;
    std::string m_strName;
    std::string m_strUrl;
    std::string m_strLocalPath;
    std::string m_strOwnPath;
    int m_nVersion = 0;
    bool m_bFetched = false;
};

// The package info files the run's packages lack, to fetch from the site.
std::vector<CInfoFetch> ListPackageInfoFetches(const CSetupRun& run);
// The worker: fetches each file into folder as it was when the fetch
// began; the number it could not get.
int FetchPackageInfoFiles(CSetupRun& run, const std::string& folder, std::vector<CInfoFetch>& fetches);
// Moves what was fetched into place and loads it, and deletes what was not
// moved; the number of packages still without their package info afterwards.
int ApplyPackageInfoFetches(CSetupRun& run, const std::vector<CInfoFetch>& fetches, int missing);
// Per drive, the space what is to be installed and fetched needs, and what is free.
// Drives in the order the page lists them, last first.
std::vector<CDriveSpace> ComputeDriveSpace(const CSetupRun& run);
// No drive that could be asked has less free than needed.
bool HasEnoughSpace(const std::vector<CDriveSpace>& drives);

// The components the run goes on without, newest key first: those whose
// package info file is missing (bWithoutInfo; they are left out of the
// run), or those whose files could not all be downloaded.
std::vector<CComponent*> SkipComponents(CSetupRun& run, bool bWithoutInfo);
// Without the packages whose files could not all be downloaded, nothing
// would be left to install, or to keep of a download-only run.
bool NothingLeftWithoutSkipped(const CSetupRun& run);
