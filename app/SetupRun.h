// The record of one setup run: what the program knows and decides, without
// its windows. The rules take it as their argument; the application object
// (app/SetupApp.h) is one, and tests make their own.
#pragma once
#include "app/CommandLine.h"
#include "app/Component.h"
#include "app/PublisherTrust.h"
#include "app/SetupLog.h"
#include "download/DownloadSite.h"
#include "install/PackageInfo.h"
#include "install/UnpackAhead.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>

static_assert(std::atomic<bool>::is_always_lock_free, "the stop request is one byte, without a lock");

// The local setup information file, in the folder the program runs in.
constexpr char kSetupInfoFile[] = ".\\zepsetup.sif";
// A package transfer that receives less than this in StallWindowMs has stalled.
constexpr int64_t kStallFloorBytes = 1024;
// Package files downloaded at once unless the setup information file or the command line says otherwise.
constexpr int kDefaultConnections = 4;

// Told the size of every chunk of a package download before the chunk is
// read, and first of the bytes an earlier transfer left to go on from
// (bAlreadyHere).
typedef void (*DownloadProgressCallback)(void* pContext, int64_t nBytes, bool bAlreadyHere);

// The temporary folder the environment names.
std::string EnvironmentTempFolder();
// Where a run downloads unless told otherwise: the folder the last run
// used, else the setup information file's Source, else the current folder.
std::string InitialDownloadFolder();

class CSetupRun {
public:
    CSetupRun();
    virtual ~CSetupRun();
    CSetupRun(const CSetupRun&) = delete;
    CSetupRun& operator=(const CSetupRun&) = delete;

    bool LoadSetupInfo();
    bool LoadComponents(const char* path);
    // Where this run downloads to or installs from unless a page changes
    // it: the layout /source: names, else the initial download folder.
    std::string RunDownloadFolder() const;
    // Under the publisher's key: the components list at path, checked by its
    // signature at sigPath and against the highest release serial this
    // computer accepted, held by pin while verified.
    CatalogueVerdict CheckUpdatedComponents(const std::string& path, const std::string& sigPath, CPinnedFiles& pin,
                                            uint64_t& serial);
    // Merges the updated components list of the download folder when it
    // may be used: always without a key, with one only when it verifies,
    // its serial then remembered. A refusal is logged.
    void MergeUpdatedComponents();
    // The download-sites list, from the download folder or else from beside
    // the program (download/SitesList.cpp).
    BOOL LoadLocations();
    // The site /site: names: the N-th of the sites list in file order, or
    // an address of its own, added to the list in region nRegion; null
    // when the list has no N-th.
    CDownloadSite* SiteOfOptions(int nRegion);
    // Installed versions from the registry and the default selections.
    void ComputeComponentStates();
    // Package records of the selection and their package info files; the
    // number still without their info.
    int LoadPackageInfos();
    // The package record of key loaded from path: under the publisher's key
    // only when every package file has its SHA-256.
    bool LoadPackageInfo(const std::string& key, const std::string& path);
    // Per package what to install and to fetch; counts m_nPackagesToDownload.
    void ComputePackageDownloads();
    // Reads m_bWin9x and m_bWinNT from the version the system reports.
    void ReadPlatformFamily();

    // Named folders, folder and shortcut creation (install/InstallEngine.cpp).
    void ResolveFolders();
    // True only when this call created the folder itself. bProtected gives
    // every folder it creates the descriptor of a folder of the wizard's
    // own (app/FolderSecurity.h): the install, download and work folders.
    bool CreateFolderPath(const std::string& path, bool parents, bool bProtected = false);
    // Whether PKG_SKIP_ON_WIN9X / PKG_SKIP_ON_NT in flags applies to this system.
    bool IsSkippedOnThisPlatform(int flags) const;
    // The product's program group: m_strProgramsDir and m_strGroup.
    std::string ProgramGroupPath() const;
    HRESULT CreateShortcut(const std::string& linkPath, const std::string& target, const std::string& description,
                           const std::string& workDir);

    // HTTP transfers through m_hInternet; they run on worker threads only.
    // A message of FetchIniFile names shownPath (when given): the file the
    // user knows, where localPath is a fetch's own file.
    BOOL FetchIniFile(const std::string& url, const std::string& localPath, const std::string& firstSection,
                      const std::string& shownPath = std::string());
    // 1 when the file arrived, 0 when nothing came; failures below 0, -5
    // for a body longer than nMaxBytes, -6 for one of nMaxBytes whose
    // SHA-256 is not sha256 (lower-case hex; empty: none given), -7 when a
    // proxy wanted a login that the user did not give, -8 when less than
    // kStallFloorBytes arrived in StallWindowMs (a stalled transfer). The bytes
    // counted go to *pnReceived, a partial file's that it went on from
    // included. localPath is written only once the response is whole; a
    // transfer that broke off or was stopped leaves what came at
    // ResumablePartPath(localPath) for the next one to go on from.
    int DownloadPackageFile(const std::string& url, const std::string& localPath, int64_t nMaxBytes, void* pContext,
                            DownloadProgressCallback pfnProgress, int64_t* pnReceived,
                            const std::string& sha256 = std::string());
    static BOOL IsHttpStatusOk(HINTERNET hRequest);
    // A server that stops answering or sending fails the transfer after this
    // long instead of holding it for good.
    void SetTransferTimeouts(DWORD dwTimeoutMs);
    void ApplyTransferTimeouts(HINTERNET hInternet);
    // A server that keeps sending a byte now and then, each within the
    // timeouts, holds a transfer no less: the window in which at least
    // kStallFloorBytes must arrive, twice the transfer timeout.
    DWORD StallWindowMs() const;

    // Page thread: stops the package transfers under way at once, also
    // those blocked in a read, and every later one.
    void AbortTransfer();

    // The proxy the session uses for url; empty when it goes direct.
    std::string ProxyFor(const std::string& url);
    // After an open of url that failed with dwError: a proxy that cannot be
    // reached is named to the user, once a run.
    void ReportFailedOpen(const std::string& url, DWORD dwError);
    // A proxy's answer that it wants a login gets the platform's login
    // dialog, and the request goes again with what the user typed; FALSE
    // once the user gave none (told once, and never asked again). A 407
    // without a proxy in use passes: the status check fails the request.
    BOOL PassProxyLogin(HINTERNET hRequest, const std::string& url);

    // The run's options from its command line, and its log.
    CSetupOptions m_options;
    CSetupLog m_log;
    CPublisherTrust m_trust;
    // Package files decoded while the download goes on.
    CUnpackAhead m_unpackAhead;
    // Set by the page's thread, read by the download worker between chunks.
    std::atomic<bool> m_bStopDownload{false};
    // The request of the package transfer under way on each connection of
    // the download pass (see AbortTransfer and SetTransferConnection).
    std::atomic<HINTERNET> m_hTransferRequests[kMaxConnections]{};
    // Package files downloaded at once: /connections:, else the setup
    // information file's, else kDefaultConnections.
    int m_nConnections = 1;
    std::atomic<bool> m_bProxyReported{false};
    std::atomic<bool> m_bProxyLoginRefused{false};
    // One proxy login dialog at a time, and the logins given so far.
    std::mutex m_proxyLoginLock;
    std::atomic<int> m_nProxyLogins{0};
    // Set before the first transfer; 0 leaves the session's defaults.
    DWORD m_dwTransferTimeoutMs = 0;
    bool m_bWin9x = false;
    bool m_bWinNT = false;
    // Where decoded copies wait: the run's work folder, inside the
    // temporary folder (kept in m_strWorkDir for its removal at the end).
    std::string m_strTempDir;
    std::string m_strWorkDir;
    std::string m_strDownloadDir;
    std::string m_strInstallDir;
    // Ends in "/"; empty when the file's BaseURL is no web address.
    std::string m_strBaseURL;
    std::string m_strLocationsInfo;
    std::string m_strProductName;
    std::string m_strGroup;
    std::string m_strSetupInfoLocation;
    int m_nDownloadOnly = 0;
    std::string m_strProgramsDir;
    CComponentMap m_mapComponents;
    CStringKeyMap<std::unique_ptr<CPackageInfo>> m_mapPackages;
    CStringKeyMap<std::string> m_mapFolders;
    // Region names by region index; each name owned by the map.
    CIdMap<std::string> m_mapRegions;
    std::list<CDownloadSite*> m_listSites;
    CDownloadSite* m_pSelectedSite = nullptr;
    int m_nInstalledCount = 0;
    int m_nToRemove = 0;
    int m_nToInstall = 0;
    int m_nPackagesToDownload = 0;
    // The packages the download pass set out to fetch: what a download-only run is made of.
    int m_nToDownload = 0;
    bool m_bComponentListUpdated = false;
    BOOL m_bInstallSucceeded = FALSE;
    // Packages the install run took up and could not install.
    int m_nPackagesFailed = 0;
    // Components marked for removal whose install log was refused: their records stay.
    int m_nRemovalsRefused = 0;
    // A page accepted Finish: the wizard was not cancelled.
    bool m_bWizardFinished = false;
    // Set by a passive run that a page had to end: its exit code; -1 while none did.
    int m_nPassiveEndCode = -1;
    BOOL m_bRebootRequired = FALSE;
    // The Finish page started the restart the installation needed.
    bool m_bRestartStarted = false;
    // A component was installed or removed: the run's end brings the
    // product's entry in the list of installed programs up to date.
    bool m_bInstalledComponentsChanged = false;
    // The kept wizard handed this run its removal, and waits for it: it is
    // deleted once it has ended, not by the entry's update.
    bool m_bHandedOver = false;
    HINTERNET m_hInternet = nullptr;
    bool m_bNewInstall = false;

    // What the run set out to do and did not, at its end: packages not
    // installed (or, downloading only, not downloaded) and components whose
    // removal was refused.
    int WorkNotDone() const;
private:
    void ReadProgramsDir();
};
