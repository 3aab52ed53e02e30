// The points of an install at which a test build of the program ends itself
// at once, as a power cut would, so that tests can show what the next run
// makes of what it left. The shipped program is built without them.
#pragma once

enum class StopPoint {
    kCopiedBeside,    // a file's new copy lies beside its target
    kFileInstalled,   // a file of the commit is in place
    kQueueCommitted,  // the queue's commit has returned
    kLogCommitted,    // a package's new install log has replaced the old
    kBeforeRecord,    // a package's registry record is written next
};

// What a test build's process ends with at a stop point.
constexpr unsigned kStoppedExitCode = 0x5709;

#ifdef ZEP_STOP_POINTS
void PassStopPoint(StopPoint point);
#else
inline void PassStopPoint(StopPoint) {}
#endif
