// Types and checks of the HTTP transfers that the run record (CSetupRun)
// makes on worker threads.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Looks through a response, chunk by chunk, for the line that heads the
// section a caller needs: "[" + section + "]", with blanks around it and
// letters in any case, as the profile reader finds sections; also after a
// UTF-8 byte-order mark that begins the response, and with a "; comment"
// (without "]") after it. Error pages, portal pages and scripts with
// brackets have no such line.
class CSectionLineScan {
public:
    explicit CSectionLineScan(const std::string& section);
    void Feed(const char* data, size_t size);
    // After the last chunk: a last line without a line end counts too.
    bool Found() const { return m_bFound || LineMatches(); }

private:
    bool LineMatches() const;
    std::string m_strHeading;
    // The current line without its leading blanks; given up once it is
    // longer than the heading with any blanks worth keeping, or once its
    // comment holds a "]".
    std::string m_strLine;
    bool m_bLineTooLong = false;
    // The rest of the line after the heading and ";" is a comment.
    bool m_bComment = false;
    // Bytes of a byte-order mark read at the start so far; -1 once there is none.
    int m_nMarkBytes = 0;
    bool m_bFound = false;
};

// The connection of the download pass (0 to kMaxConnections - 1) whose
// package transfers run on this thread: Cancel closes each connection's
// request under way.
void SetTransferConnection(int nConnection);

// The status code of a request's response; 0 when it has none to ask (an
// address that is not an HTTP one, or no answer).
DWORD HttpStatusOf(HINTERNET hRequest);

// A file of one fetch's own beside localPath, unique in the process: a fetch
// the user gave up on may still run when the next fetch of the file starts.
std::string OwnFetchPath(const std::string& localPath);

// Where a package transfer keeps what arrived until the whole file is there,
// so that a later transfer can go on from it once 1 MiB arrived; the
// server's validator of those bytes then lies beside it with ".validator"
// added.
std::string ResumablePartPath(const std::string& localPath);
