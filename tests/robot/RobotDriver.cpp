// Command-line face of the robot for scripts:
//   robot shot <program file name> <bmp path> [timeout ms]
// waits until a dialog of a process running that program is shown, lets it
// paint, and saves a picture of it. Exit code 0 when saved.
#include "tests/robot/Robot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool ProcessRuns(DWORD pid, const char* programName) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    bool match = false;
    if (::QueryFullProcessImageNameA(process, 0, path, &size)) {
        const char* name = std::strrchr(path, '\\');
        match = lstrcmpiA(name ? name + 1 : path, programName) == 0;
    }
    ::CloseHandle(process);
    return match;
}

struct Search {
    const char* program;
    HWND found;
};

static BOOL CALLBACK FindProgramDialog(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (::IsWindowVisible(hWnd) && robot::ClassName(hWnd) == "#32770" && ProcessRuns(pid, search->program)) {
        search->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc < 4 || std::strcmp(argv[1], "shot") != 0) {
        std::fprintf(stderr, "usage: robot shot <program file name> <bmp path> [timeout ms]\n");
        return 2;
    }
    int timeoutMs = argc > 4 ? std::atoi(argv[4]) : 30000;
    Search search{argv[2], nullptr};
    robot::WaitUntil(
        [&] {
            search.found = nullptr;
            ::EnumWindows(FindProgramDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs, 100);
    if (!search.found) {
        std::fprintf(stderr, "robot: no window of %s appeared\n", argv[2]);
        return 1;
    }
    if (!robot::SavePaintedScreenshot(search.found, argv[3], timeoutMs)) {
        std::fprintf(stderr, "robot: could not save %s\n", argv[3]);
        return 1;
    }
    std::printf("robot: saved %s\n", argv[3]);
    return 0;
}
