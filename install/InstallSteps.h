// What an install tells whoever shows it: the Installing page, the quiet
// run's log.
#pragma once

class CPackageFile;
class CPackageInfo;

// The steps of an install, told to whoever shows them; each does nothing
// unless overridden.
class CInstallSteps {
public:
    // Before the package's files are decoded and queued.
    virtual void OnQueueing(const CPackageInfo&) {}
    // A compressed file of it is decoded next, and has been.
    virtual void OnUnpacking(const CPackageFile&) {}
    virtual void OnUnpacked() {}
    // After, also when that failed (its m_bQueueFailed).
    virtual void OnQueued(const CPackageInfo&) {}
    // Every package queued, the commit next.
    virtual void OnCommitting() {}
    // The queue copies to target next; the files it has done so far.
    virtual void OnCopying(const char* /*target*/) {}
    virtual void OnFilesDone(int /*nFiles*/) {}
    // Between the commit and finishing the packages.
    virtual void OnCommitted() {}

protected:
    ~CInstallSteps() = default;
};
