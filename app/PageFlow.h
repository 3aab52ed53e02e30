// The decisions of the wizard's page flow that need no window: where Back
// and Next lead, which buttons a page offers, and what Cancel does.
#pragma once
#include <string>

// Page results of OnWizardBack/OnWizardNext: 0 is the neighbouring page.
constexpr int kNeighbourPage = 0;

int NextPageAfterInstallOrDownload(int nDownloadOnly);
int NextPageAfterComponents(int nToRemove);
int BackPageFromPreparing(int nDownloadOnly);
int NextPageAfterPreparing(int nPackagesToDownload);

// Wizard button flags (PSWIZB_*) of a page in a given state.
unsigned LicenseButtons(int nAccept);
unsigned PreparingButtons(int nDownloadOnly, int nPackagesToDownload);
unsigned RemovalDoneButtons(int nToInstall);
unsigned DownloadingButtons(int nDownloadOnly);

std::string RemovalDoneHint(int nToInstall);

// The download folder as stored: always ending in a backslash.
std::string WithTrailingBackslash(std::string folder);
bool RebootOnFinish(bool bRebootRequired, int nReboot);

enum class CancelRule { Close, Ask, Refuse };
// What Cancel does on the page of a template.
CancelRule CancelRuleFor(int nIDTemplate, int nToInstall);
