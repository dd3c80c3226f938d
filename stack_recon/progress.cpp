#include "progress.h"

#include <cmath>
#include <cstdio>

#include <unistd.h>

Progress StartProgress(int total) {
    return Progress{isatty(STDERR_FILENO) == 1, total, std::chrono::steady_clock::now()};
}

std::string Clock(double seconds) {
    long long s = std::llround(seconds < 0 ? 0 : seconds);
    char text[48];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    }
    return text;
}

std::string ProgressText(int done, int total, double elapsed_seconds, const std::string &step) {
    std::string left = done > 0 ? Clock(elapsed_seconds / done * (total - done)) : "?";
    return std::to_string(done) + " of " + std::to_string(total) + " rows, " + Clock(elapsed_seconds) +
           " elapsed, " + left + " left" + (step.empty() ? "" : "; " + step);
}

void ShowStep(const Progress &progress, int done, const std::string &step) {
    if (!progress.shown) return;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - progress.start;
    // Carriage return, the text, then clear what a longer line left.
    std::fprintf(stderr, "\r%s\033[K", ProgressText(done, progress.total, elapsed.count(), step).c_str());
}

void ShowProgress(const Progress &progress, int done) { ShowStep(progress, done, ""); }

void EndProgress(const Progress &progress) {
    if (progress.shown) std::fprintf(stderr, "\r\033[K");
}
