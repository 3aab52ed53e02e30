#include "app/QuietRun.h"

#include "app/OldProducts.h"
#include "app/PageFlow.h"
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "download/DownloadPass.h"
#include "download/IniFileFetch.h"
#include "install/InstallEngine.h"
#include "install/QueueCallback.h"
#include "pages/InstallOrDownloadPage.h"
#include "select/ComponentStates.h"
#include "select/PreparePackages.h"
#include "select/Removal.h"

namespace {

// A site that keeps failing gets a few tries, not a wait without end.
constexpr int kQuietAttemptsPerFile = 3;

// What the pages would show, as far as an administrator reads it later.
class CQuietSteps : public CSelectionView, public CInstallSteps, public CRemovalSteps {
public:
    void ShowSelection(const CComponent&) override {}
    bool ConfirmDependentsRemoved(const CComponent& comp) override {
        theApp.m_log.Write("The components that need " + comp.m_strName + " leave with it");
        return true;
    }
    void OnQueueing(const CPackageInfo& package) override {
        theApp.m_log.Write("Installing package " + package.m_strKey);
    }
};

int Failed(const std::string& why) {
    theApp.m_log.Write(why);
    return kExitFailed;
}

// The site's list when it can be had, else the one an earlier run left:
// the answer a person gives the wizard's question.
void LoadCatalogue() {
    CatalogueVerdict verdict;
    if (FetchSetupIniFileHere(kComponentList, "Product", SignedComponentListCheck(verdict)))
        theApp.m_bComponentListUpdated = true;
    else {
        if (verdict != CatalogueVerdict::kVerified) theApp.m_log.Write(CatalogueRefusalText(verdict));
        theApp.m_log.Write("The updated components list could not be fetched: the local list is used");
    }
    theApp.MergeUpdatedComponents();
}

// The site of /site:; the sites list is needed only when no address was given.
bool ChooseSite() {
    if (theApp.m_options.m_strSiteUrl.empty()) {
        FetchSetupIniFileHere(theApp.m_strLocationsInfo, "Locations", TrustedFileCheck(theApp.m_strLocationsInfo));
        if (!theApp.LoadLocations()) return false;
    }
    theApp.m_pSelectedSite = theApp.SiteOfOptions(0);
    return theApp.m_pSelectedSite != nullptr;
}

// The packages' info files, their files to fetch, and the space they need.
int PreparePackages() {
    int missing = theApp.LoadPackageInfos();
    if (missing != 0 && theApp.m_bComponentListUpdated) {
        std::vector<CInfoFetch> fetches = ListPackageInfoFetches();
        FetchPackageInfoFiles(theApp.m_strDownloadDir, fetches);
        missing = ApplyPackageInfoFetches(fetches, missing);
    }
    // As the wizard goes on without them once told: they count as failed.
    if (missing != 0)
        theApp.m_log.Write(std::to_string(missing) + " package(s) without a package info file are skipped");
    theApp.ComputePackageDownloads();
    const std::vector<CDriveSpace> drives = ComputeDriveSpace();
    for (const CDriveSpace& space : drives)
        theApp.m_log.Write("Drive " + space.m_strDrive + ": " + std::to_string(space.m_nRequired) + " bytes needed, " +
                           std::to_string(space.m_nAvailable) + " free");
    return HasEnoughSpace(drives) ? kExitDone : Failed("Not enough disk space");
}

int DownloadPackages() {
    if (theApp.m_nPackagesToDownload == 0) return kExitDone;
    if (!ChooseSite()) return Failed("No download site: the sites list could not be loaded, or has no site " +
                                     std::to_string(theApp.m_options.m_nSite));
    theApp.m_log.Write("Download site: " + WithoutUserInfo(theApp.m_pSelectedSite->m_strURL));
    CDownloadStatus status;
    status.m_nMaxAttempts = kQuietAttemptsPerFile;
    ListPackageFetches(status);
    theApp.m_bStopDownload = false;
    RunDownloadPass(status, theApp.m_strDownloadDir, [] {});
    ApplyDownloadOutcomes(status);
    return kExitDone;
}

void InstallPackages(CQuietSteps& steps) {
    theApp.CreateFolderPath(theApp.m_strInstallDir, true, true);
    CInstallQueueCallback callback(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, steps);
    InstallReadyPackages(ReadyPackages(), callback, steps);
}

}  // namespace

int RunQuietSetup() {
    CSetupApp& app = theApp;
    const CSetupOptions& options = app.m_options;
    CQuietSteps steps;
    app.m_nDownloadOnly = options.m_strDownloadOnlyDir.empty() ? 0 : 1;
    app.m_strDownloadDir = WithTrailingBackslash(app.m_nDownloadOnly ? options.m_strDownloadOnlyDir
                                                                     : CInstallOrDownloadPage::InitialFolder());
    WriteRegString(ZEP_CLIENT_KEY, "DownloadPath", app.m_strDownloadDir.c_str());
    LoadCatalogue();
    if (app.m_mapComponents.IsEmpty()) return Failed("No components list");
    if (!app.m_nDownloadOnly) {
        DetectOldProducts();
        app.ComputeComponentStates();
        std::string unknownKey;
        if (!SelectByKeys(app.m_mapComponents, options.m_components, options.m_remove, steps, unknownKey)) {
            app.m_log.Write("No component " + unknownKey + " in the components list");
            return kExitBadOption;
        }
        LogSelection(app.m_mapComponents);
        const CSelectionCounts counts = CountSelection(app.m_mapComponents);
        app.m_nToInstall = counts.m_nToInstall;
        app.m_nToRemove = counts.m_nToRemove;
        if (counts.m_nToInstall != 0 && !options.m_bAcceptLicense) {
            app.m_log.Write(kLicenseNotAccepted);
            return kExitCancelled;
        }
        if (counts.m_nToRemove != 0) {
            for (const std::string& record : RemoveMarkedComponents(steps))
                app.m_log.Write("Removal left alone the install log record " + record);
        }
    }
    if (app.m_nDownloadOnly || app.m_nToInstall != 0) {
        // Remembered for the next run in either mode, as the Preparing page does.
        WriteRegString(ZEP_CLIENT_KEY, "Path", app.m_strInstallDir.c_str());
        if (const int code = PreparePackages()) return code;
        if (const int code = DownloadPackages()) return code;
        if (!app.m_nDownloadOnly) InstallPackages(steps);
    }
    return RunExitCode(true, app.PackagesNotDone(), app.m_bRebootRequired);
}
