// The test build's stop points: ZEP_STOP_AT=<point>:<k> ends the process at
// the k-th time it passes <point> (copied-beside, installed, committed,
// log-committed, before-record), with no cleanup of any kind.
#include "install/StopPoint.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

void PassStopPoint(StopPoint point) {
    static const char* const kNames[] = {"copied-beside", "installed", "committed", "log-committed", "before-record"};
    static int passes[sizeof kNames / sizeof *kNames];
    const char* at = std::getenv("ZEP_STOP_AT");
    const char* name = kNames[int(point)];
    const size_t length = std::strlen(name);
    if (!at || std::strncmp(at, name, length) != 0 || at[length] != ':') return;
    if (++passes[int(point)] == std::atoi(at + length + 1))
        ::TerminateProcess(::GetCurrentProcess(), kStoppedExitCode);
}
