// The install engine: package paths, the queued copies, folders, shortcuts,
// registry values and the install log of one package. Its operations are
// members of CSetupApp and CPackageInfo; this header holds what they share.
#pragma once
#include <string>

// Whether PKG_SKIP_ON_WIN9X / PKG_SKIP_ON_NT in flags applies to this system.
bool IsSkippedOnThisPlatform(int flags);
