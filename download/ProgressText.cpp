#include "download/ProgressText.h"

#include "select/SizeText.h"

std::string FormatBytesProgress(int64_t received, int64_t total) {
    return FormatSizeK64(received) + "  of  " + FormatSizeK64(total);
}

int64_t EstimateSecondsLeft(int64_t received, int64_t total, int64_t elapsed) {
    if (received == 0 || elapsed <= 0) return 0;
    const double rate = double(received) / double(elapsed);
    return int64_t(double(total - received) / rate);
}

std::string FormatTimeLeft(int64_t seconds) {
    if (seconds < 60) return std::to_string(seconds) + " sec";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min";
    return std::to_string(seconds / 3600) + " hours" + std::to_string(seconds % 3600 / 60) + " min";
}

unsigned RetryPauseMs(int failedAttempts) {
    const int doublings = failedAttempts < 1 ? 0 : failedAttempts - 1;
    return doublings >= 4 ? 8000u : 500u << doublings;
}

std::string FormatRetryText(const std::string& file, int failedAttempts, unsigned pauseMs) {
    const unsigned seconds = (pauseMs + 999) / 1000;
    return file + "  (attempt " + std::to_string(failedAttempts) + " failed, trying again in " +
           std::to_string(seconds) + " sec)";
}
