#include "app/PageFlow.h"

#include "res/resource.h"

constexpr unsigned kBack = 1, kNext = 2, kFinish = 4, kDisabledFinish = 8;

int NextPageAfterInstallOrDownload(int nDownloadOnly) { return nDownloadOnly == 1 ? IDD_PREPARING : kNeighbourPage; }

// The Removing page is only visited when something is to be removed.
int NextPageAfterComponents(int nToRemove) { return nToRemove == 0 ? IDD_PREPARING : kNeighbourPage; }

// Going back skips the Removing page as well.
int BackPageFromPreparing(int nDownloadOnly) { return nDownloadOnly == 1 ? IDD_INSTALL_OR_DOWNLOAD : IDD_COMPONENTS; }

int NextPageAfterPreparing(int nPackagesToDownload) {
    return nPackagesToDownload == 0 ? IDD_INSTALLING : kNeighbourPage;
}

unsigned LicenseButtons(int nAccept) { return nAccept == 0 ? kBack | kNext : kBack; }

unsigned PreparingButtons(int nDownloadOnly, int nPackagesToDownload) {
    return nDownloadOnly == 1 && nPackagesToDownload == 0 ? kBack | kFinish : kBack | kNext;
}

unsigned RemovalDoneButtons(int nToInstall) { return nToInstall != 0 ? kBack | kNext : kBack | kFinish; }

unsigned DownloadingButtons(int nDownloadOnly) { return nDownloadOnly == 1 ? kDisabledFinish : 0; }

std::string RemovalDoneHint(int nToInstall) {
    return nToInstall != 0 ? "Press Next to continue, or Back to proceed with other setup options."
                           : "Press Finish to exit Setup Wizard, or Back to proceed with other setup options.";
}

std::string WithTrailingBackslash(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

bool RebootOnFinish(bool bRebootRequired, int nReboot) { return bRebootRequired && nReboot == 0; }

CancelRule CancelRuleFor(int nIDTemplate, int nToInstall) {
    switch (nIDTemplate) {
    case IDD_COMPONENTS:
    case IDD_PREPARING:
    case IDD_CHOOSE_SITE:
    case IDD_DOWNLOADING:
        return CancelRule::Ask;
    case IDD_REMOVING:
        return nToInstall != 0 ? CancelRule::Ask : CancelRule::Close;
    case IDD_INSTALLING:
        return CancelRule::Refuse;
    default:
        return CancelRule::Close;
    }
}
