#include "download/HttpTransfer.h"

#include "app/PathText.h"
#include "app/SetupRun.h"
#include "framework/WinApp.h"
#include "framework/WorkerThread.h"
#include "install/FileHash.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Always from the server, never stored in the cache.
const DWORD kIniFileFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;
// A cached copy may serve, nothing is stored in the cache.
const DWORD kPackageFileFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;

// A request handle, closed when the transfer ends however it ends.
class CInternetRequest {
public:
    explicit CInternetRequest(HINTERNET hRequest) : m_hRequest(hRequest) {}
    ~CInternetRequest() {
        if (m_hRequest) ::InternetCloseHandle(m_hRequest);
    }
    CInternetRequest(const CInternetRequest&) = delete;
    CInternetRequest& operator=(const CInternetRequest&) = delete;
    HINTERNET Handle() const { return m_hRequest; }

private:
    HINTERNET m_hRequest;
};

// One chunk of a response: the bytes the session announced as available,
// in a buffer of exactly that size.
class CChunk {
public:
    // False when the buffer cannot be had or the read fails.
    bool Read(HINTERNET hRequest, DWORD nAvailable) {
        m_pData.reset(new (std::nothrow) char[nAvailable]);
        m_nRead = 0;
        return m_pData && ::InternetReadFile(hRequest, m_pData.get(), nAvailable, &m_nRead);
    }
    const char* Data() const { return m_pData.get(); }
    DWORD Size() const { return m_nRead; }

private:
    std::unique_ptr<char[]> m_pData;
    DWORD m_nRead = 0;
};

// One line of the setup log per request, however it ends: the address (without
// a login it may carry), the server's status, the bytes, the outcome and the
// platform's error where one failed.
struct CFetchRecord {
    CFetchRecord(CSetupRun& app, const std::string& url) : m_app(app), m_strUrl(url) {}
    ~CFetchRecord() {
        m_app.m_log.Write("Fetch " + WithoutUserInfo(m_strUrl) + ": " + m_strOutcome + " (HTTP " +
                          std::to_string(m_dwStatus) + ", " + std::to_string(m_nBytes) + " bytes" +
                          (m_dwError ? ", error " + std::to_string(m_dwError) : std::string()) + ")");
    }
    CFetchRecord(const CFetchRecord&) = delete;
    CFetchRecord& operator=(const CFetchRecord&) = delete;

    CSetupRun& m_app;
    std::string m_strUrl;
    std::string m_strOutcome = "failed";
    DWORD m_dwStatus = 0;
    DWORD m_dwError = 0;
    int64_t m_nBytes = 0;
};

// The local file a transfer writes, opened without sharing: created anew, or
// opened to go on after the bytes an earlier transfer left. It lies in a
// folder others may write: no name of it is followed where it leads
// elsewhere, and it reaches its final name through its own handle.
class CLocalFile {
public:
    ~CLocalFile() { Close(); }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // Whatever lay under the name (a link among them) is removed, not
    // followed; a name taken again in between is refused.
    bool Create(const std::string& path) {
        ::DeleteFileA(path.c_str());
        return Open(path, CREATE_NEW);
    }
    // Positions after the first nBytes, cutting anything past them, and
    // passes those bytes to pHash; false when the file holds fewer, or is a
    // link.
    bool Resume(const std::string& path, int64_t nBytes, CSha256* pHash) {
        if (!Open(path, OPEN_EXISTING)) return false;
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(m_hFile, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            Close();
            return false;
        }
        char buffer[64 * 1024];
        for (int64_t left = nBytes; left > 0;) {
            DWORD read = 0;
            if (!::ReadFile(m_hFile, buffer, DWORD(std::min<int64_t>(left, sizeof buffer)), &read, nullptr) ||
                read == 0)
                return false;
            if (pHash) pHash->Add(buffer, read);
            left -= read;
        }
        return ::SetEndOfFile(m_hFile);
    }
    bool WasCreated() const { return m_bCreated; }
    bool Write(const char* data, DWORD size) {
        DWORD written = 0;
        return ::WriteFile(m_hFile, data, size, &written, nullptr) && written == size;
    }
    void Close() {
        if (IsOpen()) ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    // The file written, under path through its own handle: whatever
    // happened to its name meanwhile, the bytes under path are those
    // written (and hashed) here.
    bool MoveTo(const std::string& path) {
        const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
        if (!IsOpen() || length <= 1) return false;
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + size_t(length) * sizeof(WCHAR));
        auto* pRename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        pRename->ReplaceIfExists = TRUE;
        pRename->FileNameLength = DWORD(length - 1) * sizeof(WCHAR);
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, pRename->FileName, length);
        return ::SetFileInformationByHandle(m_hFile, FileRenameInfo, pRename, DWORD(buffer.size())) != FALSE;
    }

private:
    bool Open(const std::string& path, DWORD disposition) {
        // Shared for deletion: a transfer its page gave up on may still hold
        // the file when a later one discards it. Deleting it cannot change
        // the bytes that reach the final name.
        m_hFile = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        m_bCreated = m_bCreated || IsOpen();
        return IsOpen();
    }
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    bool m_bCreated = false;
};

// A worker its page has given up tells the user nothing more: they have
// moved on, and a late box would be about a run that no longer counts.
void ReportCannotCreate(const std::string& localPath) {
    if (CWorkerThread::IsGivenUp()) return;
    AfxMessageBox("Local file " + localPath + " could not be created.");
}

void ReportCannotWrite(const std::string& localPath) {
    if (CWorkerThread::IsGivenUp()) return;
    AfxMessageBox("Local file " + localPath + " could not be written.");
}

// The file a transfer writes before it replaces localPath: unique to the
// calling process and thread, so a transfer still running after its caller
// gave up never meets a later transfer of the same file.
std::string PartialFilePath(const std::string& localPath) {
    return localPath + "." + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetCurrentThreadId()) + ".part";
}

// No list of a site comes near this size: a response past it is something
// else, and a server that never stops would fill the disk.
constexpr unsigned long long kMaxListBytes = 1 << 20;

// Blanks a section heading may have after it and still be read as one.
constexpr size_t kMaxTrailingBlanks = 256;
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A response header's text; empty when the response has none.
std::string QueryHeader(HINTERNET hRequest, DWORD dwInfo) {
    char text[256] = "";
    DWORD size = sizeof text;
    return ::HttpQueryInfoA(hRequest, dwInfo, text, &size, nullptr) ? std::string(text, size) : std::string();
}

// The length the server announced, or -1 when it announced none.
long long AnnouncedLength(HINTERNET hRequest) {
    const std::string text = QueryHeader(hRequest, HTTP_QUERY_CONTENT_LENGTH);
    char* end = nullptr;
    const long long length = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && length >= 0 ? length : -1;
}

// A chunked body ends with a mark of its own, left to the session to check
// (Wine's takes a chunked body cut short for a whole one); a body that ends
// where the server closed the connection cannot be told from one cut short.
bool IsChunked(HINTERNET hRequest) {
    return LowerAscii(QueryHeader(hRequest, HTTP_QUERY_TRANSFER_ENCODING)).find("chunked") != std::string::npos;
}

// What the session's notices need of the transfer that made a handle.
struct CTransferNotice {
    CSetupRun& m_app;
    // Where a package transfer publishes its request for Cancel to close; none for others.
    std::atomic<HINTERNET>* m_pSlot;
};

// The request of the package transfer under way, this thread's.
thread_local HINTERNET t_hNotifiedRequest = nullptr;
thread_local int t_nConnection = 0;

// Told of every handle the session makes for a transfer, before its request
// is sent. Each gets the session's timeouts (Wine takes them only from the
// handle itself); a package transfer's request is published at once, so that
// Cancel can close it also while the server has not answered yet.
void CALLBACK OnTransferStatus(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pInfo, DWORD dwInfoLength) {
    if (dwStatus != INTERNET_STATUS_HANDLE_CREATED || !dwContext || !pInfo || dwInfoLength < sizeof(HINTERNET)) return;
    const auto& notice = *reinterpret_cast<const CTransferNotice*>(dwContext);
    // The handle comes first, whether the notice carries a handle or an INTERNET_ASYNC_RESULT.
    HINTERNET hCreated = *static_cast<HINTERNET*>(pInfo);
    notice.m_app.ApplyTransferTimeouts(hCreated);
    DWORD type = 0, size = sizeof type;
    if (!notice.m_pSlot || !::InternetQueryOptionA(hCreated, INTERNET_OPTION_HANDLE_TYPE, &type, &size) ||
        type != INTERNET_HANDLE_TYPE_HTTP_REQUEST)
        return;
    t_hNotifiedRequest = hCreated;
    *notice.m_pSlot = hCreated;
}

// WinINet follows redirects itself: the address a request ended at must be
// one the program fetches from, and a fetch over https must not end in the clear.
bool StaysOnAllowedScheme(const std::string& url, HINTERNET hRequest) {
    char final[INTERNET_MAX_URL_LENGTH + 1] = "";
    DWORD size = sizeof final;
    return ::InternetQueryOptionA(hRequest, INTERNET_OPTION_URL, final, &size) && IsAllowedFinalAddress(url, final);
}

}  // namespace

CSectionLineScan::CSectionLineScan(const std::string& section) {
    m_strHeading = "[";
    for (char c : section) m_strHeading += LowerAscii(c);
    m_strHeading += ']';
}

void CSectionLineScan::Feed(const char* data, size_t size) {
    static const char kUtf8Mark[] = "\xEF\xBB\xBF";
    for (size_t i = 0; i < size && !m_bFound; ++i) {
        const char c = data[i];
        // The first bytes wait apart while they may be a byte-order mark; a
        // part of one is text of the first line.
        if (m_nMarkBytes >= 0 && m_nMarkBytes < 3) {
            if (c == kUtf8Mark[m_nMarkBytes]) {
                ++m_nMarkBytes;
                continue;
            }
            m_strLine.assign(kUtf8Mark, size_t(m_nMarkBytes));
            m_nMarkBytes = -1;
        }
        if (c == '\n' || c == '\r') {
            m_bFound = LineMatches();
            m_strLine.clear();
            m_bLineTooLong = m_bComment = false;
        } else if (m_bComment) {
            // The profile reader takes a heading up to the last "]" of its line.
            m_bLineTooLong = m_bLineTooLong || c == ']';
        } else if (m_bLineTooLong || (m_strLine.empty() && IsBlank(c))) {
            continue;
        } else if (c == ';' && LineMatches()) {
            m_bComment = true;
        } else if (m_strLine.size() < m_strHeading.size() + kMaxTrailingBlanks) {
            m_strLine += LowerAscii(c);
        } else {
            m_bLineTooLong = true;
        }
    }
}

bool CSectionLineScan::LineMatches() const {
    if (m_bLineTooLong || m_strLine.compare(0, m_strHeading.size(), m_strHeading) != 0) return false;
    for (size_t i = m_strHeading.size(); i < m_strLine.size(); ++i)
        if (!IsBlank(m_strLine[i])) return false;
    return true;
}

std::string OwnFetchPath(const std::string& localPath) {
    static std::atomic<unsigned> s_nFetches{0};
    return localPath + "." + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_nFetches) + ".new";
}

DWORD HttpStatusOf(HINTERNET hRequest) {
    DWORD status = 0;
    DWORD length = sizeof status;
    return ::HttpQueryInfoA(hRequest, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)
               ? status
               : 0;
}

BOOL CSetupRun::IsHttpStatusOk(HINTERNET hRequest) {
    const DWORD status = HttpStatusOf(hRequest);
    return status == 0 || status == 200;
}

// The response goes to a file of this thread's own beside localPath, which
// replaces localPath only when the whole response arrived and holds the
// heading of firstSection (anywhere: a caller's ordinary file may begin with
// another section): a transfer that breaks off, or a page that is no INI file
// of the caller's kind, never replaces a good copy.
BOOL CSetupRun::FetchIniFile(const std::string& url, const std::string& localPath, const std::string& firstSection,
                             const std::string& shownPath) {
    const std::string& shown = shownPath.empty() ? localPath : shownPath;
    // Without a session the internet library may not even be there to ask.
    if (!m_hInternet) return FALSE;
    ::InternetSetStatusCallback(m_hInternet, OnTransferStatus);
    CTransferNotice notice{*this, nullptr};
    CFetchRecord record(*this, url);
    CInternetRequest request(
        ::InternetOpenUrlA(m_hInternet, url.c_str(), nullptr, 0, kIniFileFlags, reinterpret_cast<DWORD_PTR>(&notice)));
    if (!request.Handle()) {
        record.m_dwError = ::GetLastError();
        ReportFailedOpen(url, record.m_dwError);
        return FALSE;
    }
    const BOOL bLoginPassed = PassProxyLogin(request.Handle(), url);
    record.m_dwStatus = HttpStatusOf(request.Handle());
    if (!bLoginPassed) record.m_strOutcome = "no login for the proxy";
    if (!bLoginPassed || !StaysOnAllowedScheme(url, request.Handle())) return FALSE;
    if (record.m_dwStatus != 200) return FALSE;

    const std::string partialPath = PartialFilePath(localPath);
    CLocalFile partial;
    CSectionLineScan scan(firstSection);
    BOOL ok = FALSE;
    unsigned long long received = 0;
    // A worker its page gave up stops writing at once.
    while (!CWorkerThread::IsGivenUp()) {
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request.Handle(), &available, 0, 0)) {
            record.m_dwError = ::GetLastError();
            break;
        }
        if (available == 0) {
            ok = TRUE;
            break;
        }
        CChunk chunk;
        if (received + available > kMaxListBytes) {
            record.m_strOutcome = "longer than a list may be";
            break;
        }
        if (!chunk.Read(request.Handle(), available)) {
            record.m_dwError = ::GetLastError();
            break;
        }
        scan.Feed(chunk.Data(), chunk.Size());
        if (!partial.IsOpen() && !partial.Create(partialPath)) {
            ReportCannotCreate(shown);
            break;
        }
        if (!partial.Write(chunk.Data(), chunk.Size())) break;
        received += chunk.Size();
    }
    partial.Close();
    // The session ends a connection that the server closed early like a
    // complete response; the announced length tells the two apart.
    // A list cut short would pass for a whole one with fewer entries.
    long long announced = AnnouncedLength(request.Handle());
    if (announced >= 0 ? received != static_cast<unsigned long long>(announced) : !IsChunked(request.Handle()))
        ok = FALSE;
    if (!scan.Found()) ok = FALSE;
    if (!partial.WasCreated()) return FALSE;
    if (ok && !::MoveFileExA(partialPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ReportCannotCreate(shown);
        ok = FALSE;
    }
    if (!ok) ::DeleteFileA(partialPath.c_str());
    record.m_nBytes = int64_t(received);
    if (ok) record.m_strOutcome = "fetched";
    else if (!scan.Found()) record.m_strOutcome = "no [" + firstSection + "] in what came, or cut short";
    return ok;
}

namespace {

// The request of the package transfer under way, published so that Cancel
// can close it from the page's thread: that ends a read a stalled server
// would otherwise block for as long as it likes. Whoever takes the handle
// out of the slot closes it.
class CAbortableRequest {
public:
    CAbortableRequest(std::atomic<HINTERNET>& slot, const std::atomic<bool>& bStop, HINTERNET hRequest)
        : m_slot(slot), m_hRequest(hRequest) {
        const HINTERNET hNotified = t_hNotifiedRequest;
        t_hNotifiedRequest = nullptr;
        if (hNotified && hNotified == hRequest) {
            // Published while it was made; a Cancel that took it closed it.
            if (m_slot != hRequest) m_hRequest = nullptr;
            return;
        }
        // The session closed a request it notified but could not open.
        HINTERNET hStale = hNotified;
        if (hStale) m_slot.compare_exchange_strong(hStale, nullptr);
        if (!hRequest) return;
        m_slot = hRequest;
        // A Cancel that came while the address was opened found no handle to close.
        if (bStop) Close();
    }
    ~CAbortableRequest() { Close(); }
    CAbortableRequest(const CAbortableRequest&) = delete;
    CAbortableRequest& operator=(const CAbortableRequest&) = delete;
    HINTERNET Handle() const { return m_hRequest; }

private:
    void Close() {
        HINTERNET hOwn = m_hRequest;
        if (hOwn && m_slot.compare_exchange_strong(hOwn, nullptr)) ::InternetCloseHandle(hOwn);
    }
    std::atomic<HINTERNET>& m_slot;
    HINTERNET m_hRequest;
};

}  // namespace

void CSetupRun::SetTransferTimeouts(DWORD dwTimeoutMs) {
    m_dwTransferTimeoutMs = dwTimeoutMs;
    ApplyTransferTimeouts(m_hInternet);
}

void CSetupRun::ApplyTransferTimeouts(HINTERNET hInternet) {
    DWORD timeoutMs = m_dwTransferTimeoutMs;
    if (!hInternet || timeoutMs == 0) return;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(hInternet, option, &timeoutMs, sizeof timeoutMs);
}

DWORD CSetupRun::StallWindowMs() const { return 2 * (m_dwTransferTimeoutMs ? m_dwTransferTimeoutMs : 30000); }

void CSetupRun::AbortTransfer() {
    m_bStopDownload = true;
    for (std::atomic<HINTERNET>& slot : m_hTransferRequests)
        if (HINTERNET hRequest = slot.exchange(nullptr)) ::InternetCloseHandle(hRequest);
}

namespace {

// What a partial file beside a package file offers to go on from: its
// bytes, and the validator the server sent with them.
struct CResumePoint {
    int64_t m_nBytes = 0;
    std::string m_strValidator;
};

// A validator goes into a request header as it stands: one of any other
// shape is none (a weak ETag may not be used to join ranges).
bool IsUsableValidator(const std::string& text) {
    if (text.empty() || text.size() > 200 || text.compare(0, 2, "W/") == 0) return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string ValidatorPath(const std::string& localPath) { return ResumablePartPath(localPath) + ".validator"; }

// Both files lie in a folder other accounts may write: a partial file that
// is not shorter than the package file, or a validator of any other shape,
// is nothing to go on from.
CResumePoint ReadResumePoint(const std::string& localPath, int64_t nMaxBytes) {
    CResumePoint point;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(ResumablePartPath(localPath).c_str(), GetFileExInfoStandard, &data)) return point;
    const int64_t size = (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    HANDLE hFile = ::CreateFileA(ValidatorPath(localPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return point;
    char text[256];
    DWORD read = 0;
    const bool ok = ::ReadFile(hFile, text, sizeof text, &read, nullptr);
    ::CloseHandle(hFile);
    const std::string validator(text, ok ? read : 0);
    if (size > 0 && size < nMaxBytes && IsUsableValidator(validator)) point = {size, validator};
    return point;
}

void DiscardPartial(const std::string& localPath) {
    ::DeleteFileA(ResumablePartPath(localPath).c_str());
    ::DeleteFileA(ValidatorPath(localPath).c_str());
}

// What a later request can join on to: a strong ETag names these very
// bytes; a modification time does, less surely, where there is none.
std::string ResponseValidator(HINTERNET hRequest) {
    const std::string etag = QueryHeader(hRequest, HTTP_QUERY_ETAG);
    if (IsUsableValidator(etag)) return etag;
    const std::string modified = QueryHeader(hRequest, HTTP_QUERY_LAST_MODIFIED);
    return IsUsableValidator(modified) ? modified : std::string();
}

// A server that answers with another part than the one asked for (or the
// right part of another file, which If-Range turns into the whole file)
// sends bytes that do not follow the partial file's.
bool ContinuesAt(HINTERNET hRequest, int64_t nOffset) {
    return HttpStatusOf(hRequest) == 206 &&
           QueryHeader(hRequest, HTTP_QUERY_CONTENT_RANGE).rfind("bytes " + std::to_string(nOffset) + "-", 0) == 0;
}

bool WriteValidator(const std::string& localPath, const std::string& validator) {
    CLocalFile file;
    return file.Create(ValidatorPath(localPath)) && file.Write(validator.data(), DWORD(validator.size()));
}

// A transfer is kept to go on from once this much of it arrived: a smaller
// file costs less to fetch again than the validator's file costs every
// file (under Wine each file made in a folder of thousands takes a scan).
constexpr int64_t kKeepAfterBytes = 1 << 20;

const int kStartOver = INT_MIN;

std::string PackageFetchOutcome(const CSetupRun& app, int result, bool bStopped) {
    if (bStopped) return "stopped";
    switch (result) {
    case 1: return "fetched";
    case 0: return "nothing came";
    case -1: return "refused by the server";
    case -2: return "no answer";
    case -3: return "broke off";
    case -4: return "could not be written";
    case -5: return "longer than promised";
    case -6: return "other bytes than the publisher's (SHA-256)";
    case -7: return "no login for the proxy";
    case -8: return "stalled (less than " + std::to_string(kStallFloorBytes) + " bytes in " +
                    std::to_string(app.StallWindowMs() / 1000) + " sec)";
    case kStartOver: return "not gone on from the kept bytes, asked for the whole file";
    default: return "failed";
    }
}

// One request for the package file, going on after resume's bytes when it
// has any; kStartOver when the server answered a resumed request with
// something else than the rest or the whole file.
int TransferPackageFile(CSetupRun& app, const std::string& url, const std::string& localPath, int64_t nMaxBytes,
                        void* pContext, DownloadProgressCallback pfnProgress, int64_t* pnReceived,
                        const std::string& sha256, const CResumePoint& resume, CFetchRecord& record) {
    *pnReceived = 0;
    const std::string partPath = ResumablePartPath(localPath);
    const std::string headers = resume.m_nBytes == 0 ? std::string()
                                                      : "Range: bytes=" + std::to_string(resume.m_nBytes) +
                                                            "-\r\nIf-Range: " + resume.m_strValidator + "\r\n";
    // A cached copy would answer a range with bytes of its own choosing.
    const DWORD flags = kPackageFileFlags | (resume.m_nBytes ? INTERNET_FLAG_RELOAD : 0);
    ::InternetSetStatusCallback(app.m_hInternet, OnTransferStatus);
    std::atomic<HINTERNET>& slot = app.m_hTransferRequests[t_nConnection];
    CTransferNotice notice{app, &slot};
    CAbortableRequest request(slot, app.m_bStopDownload,
                              ::InternetOpenUrlA(app.m_hInternet, url.c_str(), headers.c_str(), DWORD(headers.size()),
                                                 flags, reinterpret_cast<DWORD_PTR>(&notice)));
    const DWORD openError = ::GetLastError();
    if (app.m_bStopDownload) return 0;
    if (!request.Handle()) {
        record.m_dwError = openError;
        app.ReportFailedOpen(url, openError);
        return 0;
    }
    const BOOL bLoginPassed = app.PassProxyLogin(request.Handle(), url);
    record.m_dwStatus = HttpStatusOf(request.Handle());
    if (!bLoginPassed) return -7;
    if (!StaysOnAllowedScheme(url, request.Handle())) return 0;
    // Hashed as it arrives: a mirror is someone else's server, and a file of
    // the right size may still be another.
    std::unique_ptr<CSha256> hash(sha256.empty() ? nullptr : new CSha256);
    CLocalFile file;
    int64_t resumed = 0;
    std::string validator;
    bool bValidatorWritten = false;
    if (resume.m_nBytes && ContinuesAt(request.Handle(), resume.m_nBytes)) {
        if (!file.Resume(partPath, resume.m_nBytes, hash.get())) return kStartOver;
        resumed = *pnReceived = resume.m_nBytes;
        if (pfnProgress) pfnProgress(pContext, resumed, true);
    } else if (!CSetupRun::IsHttpStatusOk(request.Handle())) {
        return resume.m_nBytes ? kStartOver : -1;
    } else {
        validator = ResponseValidator(request.Handle());
    }

    int result = 0;
    const DWORD windowMs = app.StallWindowMs();
    DWORD windowStart = ::GetTickCount();
    int64_t windowBytes = *pnReceived;
    while (!app.m_bStopDownload) {
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request.Handle(), &available, 0, 0)) {
            record.m_dwError = ::GetLastError();
            result = -2;
            break;
        }
        result = 1;
        if (available == 0 || app.m_bStopDownload) break;
        // More than was promised is another file, or a server that never
        // stops: none of it is kept.
        if (available > nMaxBytes - *pnReceived) {
            result = -5;
            break;
        }
        *pnReceived += available;
        if (pfnProgress) pfnProgress(pContext, available, false);
        CChunk chunk;
        if (!chunk.Read(request.Handle(), available)) {
            record.m_dwError = ::GetLastError();
            result = -3;
            break;
        }
        if (!file.IsOpen() && !file.Create(partPath)) {
            ReportCannotCreate(localPath);
            result = -4;
            break;
        }
        // A full disk would otherwise leave a cut file counted as complete,
        // and a plain package file would be installed cut short. Trying
        // again cannot help: the file is given up like one never created.
        if (!file.Write(chunk.Data(), chunk.Size())) {
            ReportCannotWrite(localPath);
            result = -4;
            break;
        }
        if (hash) hash->Add(chunk.Data(), chunk.Size());
        // Written after bytes it names: those in the file are always a start of that response.
        if (!bValidatorWritten && !validator.empty() && *pnReceived >= kKeepAfterBytes)
            bValidatorWritten = WriteValidator(localPath, validator);
        if (::GetTickCount() - windowStart >= windowMs) {
            if (*pnReceived - windowBytes < kStallFloorBytes) {
                result = -8;
                break;
            }
            windowStart = ::GetTickCount();
            windowBytes = *pnReceived;
        }
    }
    // A response that ends before its own announced length broke off (the
    // session ends a connection the server closed, or a receive that timed
    // out, like a whole response): worth another attempt, and what came is
    // kept to go on from. One that is whole but shorter than promised is
    // the caller's to judge.
    const long long announced = result > 0 && !app.m_bStopDownload ? AnnouncedLength(request.Handle()) : -1;
    if (announced >= 0 && *pnReceived - resumed < announced) result = -3;
    // Only a body of the promised size is judged by its hash: a shorter one
    // is the caller's to judge, as without one.
    if (result > 0 && !app.m_bStopDownload && hash && *pnReceived == nMaxBytes && hash->FinishHex() != sha256)
        result = -6;
    if (result > 0 && !app.m_bStopDownload && file.WasCreated()) {
        if (resume.m_nBytes || bValidatorWritten) ::DeleteFileA(ValidatorPath(localPath).c_str());
        if (file.MoveTo(localPath)) return 1;
        ReportCannotCreate(localPath);
        result = -4;
    }
    file.Close();
    // Bytes that cannot be joined on to, or that are not the file's, are not kept.
    const bool bKeep =
        (app.m_bStopDownload || result == -2 || result == -3 || result == -8) && (resumed || bValidatorWritten);
    if (!bKeep && file.WasCreated()) DiscardPartial(localPath);
    return result <= 0 ? result : *pnReceived > 0 ? 1 : 0;
}

}  // namespace

std::string ResumablePartPath(const std::string& localPath) { return localPath + ".partial"; }

void SetTransferConnection(int nConnection) { t_nConnection = nConnection; }

// Counted in 64 bits: a package file may pass 2 and 4 GiB.
int CSetupRun::DownloadPackageFile(const std::string& url, const std::string& localPath, int64_t nMaxBytes,
                                   void* pContext, DownloadProgressCallback pfnProgress, int64_t* pnReceived,
                                   const std::string& sha256) {
    *pnReceived = 0;
    if (!m_hInternet || m_bStopDownload) return 0;
    CResumePoint resume = ReadResumePoint(localPath, nMaxBytes);
    for (;;) {
        CFetchRecord record(*this, url);
        if (resume.m_nBytes) record.m_strUrl += " from byte " + std::to_string(resume.m_nBytes);
        const int result = TransferPackageFile(*this, url, localPath, nMaxBytes, pContext, pfnProgress, pnReceived,
                                               sha256, resume, record);
        record.m_nBytes = *pnReceived;
        record.m_strOutcome = PackageFetchOutcome(*this, result, m_bStopDownload);
        if (result != kStartOver) return result;
        DiscardPartial(localPath);
        resume = {};
    }
}
