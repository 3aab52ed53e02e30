#include "install/QueueCallback.h"

#include "app/SetupApp.h"

CInstallQueueCallback::CInstallQueueCallback(HWND hOwner, HWND hPage, UINT progressMessage, CInstallSteps& steps)
    : m_hOwner(hOwner), m_hPage(hPage), m_steps(steps),
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
        break;
    case SPFILENOTIFY_COPYERROR:
        if (pPaths->Win32Error == ERROR_SHARING_VIOLATION && ScheduleReplacement(*pPaths)) {
            // Wine's queue sends no end of copy for a skipped file.
            CountCurrentCopy();
            return FILEOP_SKIP;
        }
        theApp.m_log.Write("Could not copy " + std::string(pPaths->Target) + ": error " +
                           std::to_string(pPaths->Win32Error));
        // Without a person to answer the platform's question, the queue fails as a whole.
        if (!m_hOwner) return FILEOP_ABORT;
        break;
    case SPFILENOTIFY_ENDCOPY: {
        const UINT result = ::SetupDefaultQueueCallbackA(m_pDefaultContext, notification, param1, param2);
        if (pPaths->Win32Error == NO_ERROR) theApp.m_log.Write("Installed " + std::string(pPaths->Target));
        if (pPaths->Win32Error == NO_ERROR && m_bCurrentIsNew) m_createdFiles.insert(LowerAscii(pPaths->Target));
        CountCurrentCopy();
        return result;
    }
    case SPFILENOTIFY_FILEOPDELAYED:
        theApp.m_log.Write("Replaced at the next restart: " + std::string(pPaths->Target));
        m_scheduledFiles.insert(LowerAscii(pPaths->Target));
        break;
    }
    return ::SetupDefaultQueueCallbackA(m_pDefaultContext, notification, param1, param2);
}

bool CInstallQueueCallback::ScheduleReplacement(const FILEPATHS_A& paths) {
    // The copy waits beside its target: a delayed rename cannot cross drives.
    const std::string target = paths.Target;
    const size_t slash = target.rfind('\\');
    const std::string targetFolder = slash == std::string::npos ? std::string() : target.substr(0, slash);
    char pending[MAX_PATH] = "";
    if (!::GetTempFileNameA(targetFolder.c_str(), "zep", 0, pending)) return false;
    if (!::CopyFileA(paths.Source, pending, FALSE) ||
        !::MoveFileExA(pending, paths.Target, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(pending);
        return false;
    }
    m_scheduledFiles.insert(LowerAscii(target));
    theApp.m_log.Write("Replaced at the next restart: " + target);
    return true;
}

void CInstallQueueCallback::CountCurrentCopy() {
    if (m_bCurrentCounted) return;
    m_bCurrentCounted = true;
    ++m_nEndCopies;
    ReportFilesDone();
}

void CInstallQueueCallback::ReportFilesDone() const { m_steps.OnFilesDone(GetFilesDone()); }
