#include "support/ChildProcess.h"

namespace testsupport {

bool StartChild(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = commandLine;
    return ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process) != FALSE;
}

bool RunChild(const std::string& commandLine, const std::string& folder, DWORD timeoutMs, DWORD& exitCode) {
    PROCESS_INFORMATION process{};
    if (!StartChild(commandLine, folder, process)) return false;
    const bool ended = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(process.hProcess, 99);
    exitCode = 99;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ended;
}

std::string SelfPath() {
    char self[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

}  // namespace testsupport
