#include "install/QueueCallback.h"

#include "install/BesideCopy.h"
#include "install/StopPoint.h"

CInstallQueueCallback::CInstallQueueCallback(HWND hOwner, HWND hPage, UINT progressMessage, CInstallSteps& steps,
                                             CSetupLog& log)
    : m_hOwner(hOwner), m_hPage(hPage), m_steps(steps), m_log(log),
      m_pDefaultContext(::SetupInitDefaultQueueCallbackEx(hOwner, hPage, progressMessage, 0, nullptr)) {}

CInstallQueueCallback::~CInstallQueueCallback() {
    if (m_pDefaultContext) ::SetupTermDefaultQueueCallback(m_pDefaultContext);
}

BOOL CInstallQueueCallback::Commit(HSPFILEQ hQueue) {
    return ::SetupCommitFileQueueA(m_hOwner, hQueue, Callback, this);
}

void CInstallQueueCallback::OnProgressMessage(WPARAM wParam) {
    if (wParam != 1) return;
    ++m_nProgressMessages;
    ReportFilesDone();
}

bool CInstallQueueCallback::IsRebootRequired(HSPFILEQ hQueue) const {
    const INT result = ::SetupPromptReboot(hQueue, m_hOwner, TRUE);
    return !m_scheduledFiles.empty() || (result != -1 && (result & SPFILEQ_FILE_IN_USE));
}

UINT CALLBACK CInstallQueueCallback::Callback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    auto* pThis = static_cast<CInstallQueueCallback*>(context);
    try {
        return pThis->OnNotification(notification, param1, param2);
    } catch (...) {
        // No exception may unwind through the platform's queue; what our own
        // handling could not do is left to the platform's.
        return ::SetupDefaultQueueCallbackA(pThis->m_pDefaultContext, notification, param1, param2);
    }
}

UINT CInstallQueueCallback::OnNotification(UINT notification, UINT_PTR param1, UINT_PTR param2) {
    const auto* pPaths = reinterpret_cast<const FILEPATHS_A*>(param1);
    switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
        if (m_hPage != INVALID_HANDLE_VALUE) ::UpdateWindow(m_hPage);
        break;
    case SPFILENOTIFY_STARTCOPY:
        m_bCurrentCounted = false;
        m_bCurrentIsNew = ::GetFileAttributesA(pPaths->Target) == INVALID_FILE_ATTRIBUTES;
        m_steps.OnCopying(pPaths->Target);
        if (InstallBeside(*pPaths)) return FILEOP_SKIP;
        break;
    case SPFILENOTIFY_COPYERROR:
        m_log.Write("Could not copy " + std::string(pPaths->Target) + ": error " +
                           std::to_string(pPaths->Win32Error));
        // Without a person to answer the platform's question, the queue fails as a whole.
        if (!m_hOwner) return FILEOP_ABORT;
        break;
    case SPFILENOTIFY_ENDCOPY: {
        const UINT result = ::SetupDefaultQueueCallbackA(m_pDefaultContext, notification, param1, param2);
        // A file installed beside its target was counted then.
        if (!m_bCurrentCounted && pPaths->Win32Error == NO_ERROR) OnInstalled(pPaths->Target);
        CountCurrentCopy();
        return result;
    }
    case SPFILENOTIFY_FILEOPDELAYED:
        m_log.Write("Replaced at the next restart: " + std::string(pPaths->Target));
        m_scheduledFiles.insert(LowerAscii(pPaths->Target));
        break;
    }
    return ::SetupDefaultQueueCallbackA(m_pDefaultContext, notification, param1, param2);
}

// Wine's queue copies over the target in place, so a run cut short there
// leaves part of a file; Windows' queue copies to a temporary file beside it
// and renames that. Both get the latter, from here: the queue's own copy
// (and its handling of errors) is left only what cannot be done so. A target
// in use is replaced at the next restart, as Windows' queue would.
bool CInstallQueueCallback::InstallBeside(const FILEPATHS_A& paths) {
    const std::string target = paths.Target;
    if (CopyBeside(paths.Source, target) != ERROR_SUCCESS) return false;
    PassStopPoint(StopPoint::kCopiedBeside);
    const DWORD error = MoveBesideOver(target);
    if (error == ERROR_SUCCESS) {
        OnInstalled(target);
    } else if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
               ::MoveFileExA(BesideName(target).c_str(), target.c_str(),
                             MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        m_scheduledFiles.insert(LowerAscii(target));
        m_log.Write("Replaced at the next restart: " + target);
    } else {
        ::DeleteFileA(BesideName(target).c_str());
        return false;
    }
    CountCurrentCopy();
    return true;
}

void CInstallQueueCallback::OnInstalled(const std::string& target) {
    m_log.Write("Installed " + target);
    if (m_bCurrentIsNew) m_createdFiles.insert(LowerAscii(target));
    PassStopPoint(StopPoint::kFileInstalled);
}

void CInstallQueueCallback::CountCurrentCopy() {
    if (m_bCurrentCounted) return;
    m_bCurrentCounted = true;
    ++m_nEndCopies;
    ReportFilesDone();
}

void CInstallQueueCallback::ReportFilesDone() const { m_steps.OnFilesDone(GetFilesDone()); }
