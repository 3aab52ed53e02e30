#include "support/ChildProcess.h"

#include "support/TestSupport.h"

namespace testsupport {

bool StartChild(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& process,
                HANDLE output) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
    }
    std::string command = commandLine;
    return ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process) != FALSE;
}

bool RunChild(const std::string& commandLine, const std::string& folder, DWORD timeoutMs, DWORD& exitCode,
              std::string* output) {
    // The output goes to a file rather than a pipe, so that a talkative child
    // never blocks on a full pipe while it is waited for.
    char outputPath[MAX_PATH] = "";
    HANDLE hOutput = nullptr;
    if (output) {
        output->clear();
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        if (!::GetTempFileNameA(".", "out", 0, outputPath)) return false;
        hOutput = ::CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hOutput == INVALID_HANDLE_VALUE) return false;
    }
    PROCESS_INFORMATION process{};
    const bool started = StartChild(commandLine, folder, process, hOutput);
    if (hOutput) ::CloseHandle(hOutput);
    bool ended = false;
    exitCode = 99;
    if (started) {
        ended = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
        if (!ended) ::TerminateProcess(process.hProcess, 99);
        ::GetExitCodeProcess(process.hProcess, &exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    if (output) {
        ReadFile(outputPath, *output);
        ::DeleteFileA(outputPath);
    }
    return ended;
}

std::string SelfPath() {
    char self[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

}  // namespace testsupport
