// The install engine: package paths, the queued copies, folders, shortcuts,
// registry values and the install log of one package. Its operations are
// members of the run record (CSetupRun) and of CPackageInfo; this header
// holds what they share.
#pragma once
#include "install/InstallSteps.h"

#include <string>
#include <vector>

class CInstallQueueCallback;
class CSetupRun;
class CPackageFile;
class CPackageInfo;

// After the queue of the ready packages was committed (or failed to be):
// finishes each package it installed, takes back what it did for the others,
// and returns those.
std::vector<CPackageInfo*> FinishPackages(const std::vector<CPackageInfo*>& ready, bool bCommitted,
                                          const CInstallQueueCallback& callback);

// What installing the ready packages came to: the queue committed, a
// restart needed, and the packages that could not be installed.
struct CInstallOutcome {
    bool m_bCommitted = false;
    bool m_bRebootRequired = false;
    std::vector<CPackageInfo*> m_failed;
};

// The run's packages whose files are all here, in catalogue order.
std::vector<CPackageInfo*> ReadyPackages(const CSetupRun& run);

// Queues the files of every ready package into one file queue of the
// platform (each package's m_bQueueFailed tells how that went), commits it
// through callback and finishes the packages, telling steps. The outcome
// is also kept in the run's record for its end.
CInstallOutcome InstallReadyPackages(CSetupRun& run, const std::vector<CPackageInfo*>& ready,
                                     CInstallQueueCallback& callback, CInstallSteps& steps);
