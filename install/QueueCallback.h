// The file-queue callback of an installation: the platform's default
// handling with the sheet as owner, plus what Wine's queue leaves out, so the
// program behaves the same on both:
// - a target is never written in place, but beside it and moved over it,
//   and one held open by another process is replaced at the next restart
//   (Windows' queue does both itself; Wine's writes over the target and
//   reports a sharing violation);
// - the copy bar advances by the queue's own end-of-copy notifications as
//   well as by the default callback's progress messages (which Wine never
//   sends), taking the larger count so no file is counted twice.
#pragma once
#include "app/PathText.h"
#include "app/SetupLog.h"
#include "install/InstallSteps.h"

#include <windows.h>
#include <setupapi.h>

#include <set>
#include <string>

class CInstallQueueCallback {
public:
    // hPage receives the default callback's progress messages (wParam 1 per
    // file) and is repainted when the queue starts; steps is told of each
    // copy and of the files done, log what the copies did. A run without a
    // person passes no owner and INVALID_HANDLE_VALUE for hPage: a copy
    // error that the platform would ask about then fails the queue instead.
    CInstallQueueCallback(HWND hOwner, HWND hPage, UINT progressMessage, CInstallSteps& steps, CSetupLog& log);
    virtual ~CInstallQueueCallback();
    CInstallQueueCallback(const CInstallQueueCallback&) = delete;
    CInstallQueueCallback& operator=(const CInstallQueueCallback&) = delete;

    // SetupCommitFileQueueA through this callback.
    BOOL Commit(HSPFILEQ hQueue);
    // For the page's handler of the progress message.
    void OnProgressMessage(WPARAM wParam);
    // True when the platform reports replaced files in use or a replacement
    // was scheduled here.
    bool IsRebootRequired(HSPFILEQ hQueue) const;

    int GetFilesDone() const { return m_nEndCopies > m_nProgressMessages ? m_nEndCopies : m_nProgressMessages; }
    // What the commit did to a target, so that a package that fails can be
    // taken back: a file that was not there before, or one whose
    // replacement waits for the restart.
    bool HasCreated(const std::string& target) const { return m_createdFiles.count(LowerAscii(target)) != 0; }
    bool HasScheduled(const std::string& target) const { return m_scheduledFiles.count(LowerAscii(target)) != 0; }

private:
    static UINT CALLBACK Callback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
    UINT OnNotification(UINT notification, UINT_PTR param1, UINT_PTR param2);
    // The copy done here, beside its target; false leaves it to the queue.
    bool InstallBeside(const FILEPATHS_A& paths);
    void OnInstalled(const std::string& target);
    // Counts the file being copied once, however its copy ended.
    void CountCurrentCopy();
    void ReportFilesDone() const;

    HWND m_hOwner;
    HWND m_hPage;
    CInstallSteps& m_steps;
    CSetupLog& m_log;
    PVOID m_pDefaultContext;
    int m_nEndCopies = 0;
    bool m_bCurrentCounted = false;
    int m_nProgressMessages = 0;
    bool m_bCurrentIsNew = false;
    std::set<std::string> m_createdFiles;
    std::set<std::string> m_scheduledFiles;
};
