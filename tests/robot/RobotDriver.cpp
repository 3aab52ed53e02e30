// Command-line face of the robot for scripts:
//   robot shot <program file name> <bmp path> [timeout ms]
// waits until a dialog of a process running that program is shown, lets it
// paint, and saves a picture of it. Exit code 0 when saved.
#include "tests/robot/Robot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4 || std::strcmp(argv[1], "shot") != 0) {
        std::fprintf(stderr, "usage: robot shot <program file name> <bmp path> [timeout ms]\n");
        return 2;
    }
    int timeoutMs = argc > 4 ? std::atoi(argv[4]) : 30000;
    HWND found = robot::WaitProgramDialog(argv[2], false, timeoutMs);
    if (!found) {
        std::fprintf(stderr, "robot: no window of %s appeared\n", argv[2]);
        return 1;
    }
    if (!robot::SavePaintedScreenshot(found, argv[3], timeoutMs)) {
        std::fprintf(stderr, "robot: could not save %s\n", argv[3]);
        return 1;
    }
    std::printf("robot: saved %s\n", argv[3]);
    return 0;
}
