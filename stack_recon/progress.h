// The progress of a long run, for a person watching a terminal: one line
// on standard error rewritten in place. Nothing is written when standard
// error is not a terminal (a log file, a batch job).
#pragma once

#include <chrono>
#include <string>

struct Progress {
    bool shown;  // standard error is a terminal
    int total;
    std::chrono::steady_clock::time_point start;
};

// Starts the clock; `total` rows are to be done.
Progress StartProgress(int total);

// "3 of 8 rows, 0:12 elapsed, 0:20 left": the remaining time from the
// rate so far ("?" before the first row is done); a step under way
// follows after a semicolon ("...; removing rings from rows 4 to 7").
std::string ProgressText(int done, int total, double elapsed_seconds, const std::string &step = "");

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string Clock(double seconds);

// Rewrites the line (when shown) after another row is done.
void ShowProgress(const Progress &progress, int done);

// Rewrites the line (when shown) as a step begins: reading a band,
// removing its rings, iterating on a row.
void ShowStep(const Progress &progress, int done, const std::string &step);

// Clears the line (when shown), so that the next line starts clean.
void EndProgress(const Progress &progress);
