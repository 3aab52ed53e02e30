// The install engine: package paths, the queued copies, folders, shortcuts,
// registry values and the install log of one package. Its operations are
// members of CSetupApp and CPackageInfo; this header holds what they share.
#pragma once
#include <string>
#include <vector>

class CInstallQueueCallback;
class CPackageInfo;

// Whether PKG_SKIP_ON_WIN9X / PKG_SKIP_ON_NT in flags applies to this system.
bool IsSkippedOnThisPlatform(int flags);

// After the queue of the ready packages was committed (or failed to be):
// finishes each package it installed, takes back what it did for the others,
// and returns those.
std::vector<CPackageInfo*> FinishPackages(const std::vector<CPackageInfo*>& ready, bool bCommitted,
                                          const CInstallQueueCallback& callback);
