// What the Downloading page shows of a transfer: pure functions of its
// counts, so that a test can check every text without a window.
#pragma once
#include <cstdint>
#include <string>

// "2050 K  of  9162 K".
std::string FormatBytesProgress(int64_t received, int64_t total);
// Seconds left at the mean rate so far; elapsed counts whole seconds since
// the start plus 2, so that the first second gives no absurd rate. 0 before
// anything arrived; negative once more than the total arrived.
int64_t EstimateSecondsLeft(int64_t received, int64_t total, int64_t elapsed);
// "59 sec", "59 min", "2 hours5 min".
std::string FormatTimeLeft(int64_t seconds);
// The pause before the next attempt at a file after failedAttempts failed
// ones: half a second, doubling up to 8 seconds.
unsigned RetryPauseMs(int failedAttempts);
// The file line while a file is being tried again.
std::string FormatRetryText(const std::string& file, int failedAttempts, unsigned pauseMs);
