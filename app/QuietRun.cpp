#include "app/QuietRun.h"

#include "app/OldProducts.h"
#include "app/PageFlow.h"
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "app/UninstallEntry.h"
#include "download/DownloadPass.h"
#include "download/IniFileFetch.h"
#include "install/InstallEngine.h"
#include "install/QueueCallback.h"
#include "select/ComponentStates.h"
#include "select/PreparePackages.h"
#include "select/Removal.h"

namespace {

// What the pages would show, as far as an administrator reads it later.
class CQuietSteps : public CSelectionView, public CInstallSteps, public CRemovalSteps {
public:
    explicit CQuietSteps(CSetupLog& log) : m_log(log) {}
    void ShowSelection(const CComponent&) override {}
    bool ConfirmDependentsRemoved(const CComponent& comp) override {
        m_log.Write("The components that need " + comp.m_strName + " leave with it");
        return true;
    }
    void OnQueueing(const CPackageInfo& package) override { m_log.Write("Installing package " + package.m_strKey); }

private:
    CSetupLog& m_log;
};

int Failed(CSetupRun& run, const std::string& why) {
    run.m_log.Write(why);
    return kExitFailed;
}

// The site's list when it can be had, else the one an earlier run left:
// the answer a person gives the wizard's question.
void LoadCatalogue(CSetupRun& run) {
    CatalogueVerdict verdict;
    if (FetchSetupIniFileHere(run, kComponentList, "Product", SignedComponentListCheck(run, verdict)))
        run.m_bComponentListUpdated = true;
    else {
        if (verdict != CatalogueVerdict::kVerified) run.m_log.Write(CatalogueRefusalText(verdict));
        run.m_log.Write("The updated components list could not be fetched: the local list is used");
    }
    run.MergeUpdatedComponents();
}

// The site of /site:; the sites list is needed only when no address was given.
bool ChooseSite(CSetupRun& run) {
    if (run.m_options.m_strSiteUrl.empty()) {
        FetchSetupIniFileHere(run, run.m_strLocationsInfo, "Locations", TrustedFileCheck(run, run.m_strLocationsInfo));
        if (!run.LoadLocations()) return false;
    }
    run.m_pSelectedSite = run.SiteOfOptions(0);
    return run.m_pSelectedSite != nullptr;
}

// The packages' info files, their files to fetch, and the space they need.
int PreparePackages(CSetupRun& run) {
    int missing = run.LoadPackageInfos();
    if (missing != 0 && run.m_bComponentListUpdated) {
        std::vector<CInfoFetch> fetches = ListPackageInfoFetches(run);
        FetchPackageInfoFiles(run, run.m_strDownloadDir, fetches);
        missing = ApplyPackageInfoFetches(run, fetches, missing);
    }
    // As the wizard goes on without them once told: they count as failed.
    if (missing != 0)
        run.m_log.Write(std::to_string(missing) + " package(s) without a package info file are skipped");
    run.ComputePackageDownloads();
    const std::vector<CDriveSpace> drives = ComputeDriveSpace(run);
    for (const CDriveSpace& space : drives)
        run.m_log.Write("Drive " + space.m_strDrive + ": " + std::to_string(space.m_nRequired) + " bytes needed, " +
                        std::to_string(space.m_nAvailable) + " free");
    return HasEnoughSpace(drives) ? kExitDone : Failed(run, "Not enough disk space");
}

int DownloadPackages(CSetupRun& run) {
    if (run.m_nPackagesToDownload == 0) return kExitDone;
    if (!ChooseSite(run))
        return Failed(run, "No download site: the sites list could not be loaded, or has no site " +
                               std::to_string(run.m_options.m_nSite));
    run.m_log.Write("Download site: " + WithoutUserInfo(run.m_pSelectedSite->m_strURL));
    CDownloadStatus status;
    status.m_bGiveUpAfterEverySite = true;
    ListPackageFetches(run, status);
    run.m_bStopDownload = false;
    RunDownloadPass(run, status, run.m_strDownloadDir, [] {});
    ApplyDownloadOutcomes(run, status);
    return kExitDone;
}

void InstallPackages(CSetupRun& run, CQuietSteps& steps) {
    run.CreateFolderPath(run.m_strInstallDir, true, true);
    CInstallQueueCallback callback(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, steps, run.m_log);
    InstallReadyPackages(run, ReadyPackages(run), callback, steps);
}

}  // namespace

int RunQuietSetup(CSetupRun& run) {
    const CSetupOptions& options = run.m_options;
    CQuietSteps steps(run.m_log);
    run.m_nDownloadOnly = options.m_strDownloadOnlyDir.empty() ? 0 : 1;
    run.m_strDownloadDir =
        WithTrailingBackslash(run.m_nDownloadOnly ? options.m_strDownloadOnlyDir : run.RunDownloadFolder());
    // A layout named for this run is not where later runs look.
    if (options.m_strSourceDir.empty()) WriteRegString(ZEP_CLIENT_KEY, "DownloadPath", run.m_strDownloadDir.c_str());
    LoadCatalogue(run);
    if (run.m_mapComponents.IsEmpty()) return Failed(run, "No components list");
    if (!run.m_nDownloadOnly) {
        DetectOldProducts(run);
        run.ComputeComponentStates();
        std::string unknownKey;
        const std::vector<std::string> remove = KeysToRemove(run.m_mapComponents, options);
        if (!SelectByKeys(run.m_mapComponents, options.m_components, remove, steps, unknownKey)) {
            run.m_log.Write("No component " + unknownKey + " in the components list");
            return kExitBadOption;
        }
        // Nothing named to remove leaves the preselection in place: nothing may be installed instead.
        if (options.m_bUninstall && remove.empty()) {
            run.m_log.Write("Nothing of the product is installed");
            return kExitDone;
        }
        LogSelection(run.m_mapComponents, run.m_log);
        const CSelectionCounts counts = CountSelection(run.m_mapComponents);
        run.m_nToInstall = counts.m_nToInstall;
        run.m_nToRemove = counts.m_nToRemove;
        if (counts.m_nToInstall != 0 && !options.m_bAcceptLicense) {
            run.m_log.Write(kLicenseNotAccepted);
            return kExitCancelled;
        }
        if (counts.m_nToRemove != 0) {
            for (const std::string& record : RemoveMarkedComponents(run, steps))
                run.m_log.Write("Removal left alone the install log record " + record);
        }
    }
    if (run.m_nDownloadOnly || run.m_nToInstall != 0) {
        // Remembered for the next run in either mode, as the Preparing page does.
        WriteRegString(ZEP_CLIENT_KEY, "Path", run.m_strInstallDir.c_str());
        if (const int code = PreparePackages(run)) return code;
        const int downloaded = DownloadPackages(run);
        if (run.m_nDownloadOnly) CompleteLayout(run);
        if (downloaded) return downloaded;
        if (!run.m_nDownloadOnly) InstallPackages(run, steps);
    }
    return RunExitCode(true, run.WorkNotDone(), run.m_bRebootRequired);
}
