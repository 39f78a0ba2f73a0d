// The progress of a rebuild as one line of text: a bar redrawn in place on a
// terminal, or a plain line for a log.
#pragma once

#include <cstdint>
#include <string>

namespace tarvel {

struct ProgressSnapshot {
    std::int64_t position = 0;
    std::int64_t maximum = 0;
    // Seconds since the walk over the lines began.
    double elapsedSeconds = 0;
};

// Whole percent done, 0 to 100; a maximum of 0 or less counts as done.
int percentDone(const ProgressSnapshot& progress);
// Lines per second so far; 0 while nothing can be told.
double linesPerSecond(const ProgressSnapshot& progress);
// "m:ss" or "h:mm:ss"; "--:--" for a time that cannot be told (negative).
std::string durationText(double seconds);
// Seconds the remaining lines take at the pace so far; negative when unknown.
double secondsLeft(const ProgressSnapshot& progress);

// "[#####.....]  50%  500/1000 lines  250 lines/s  0:02 left", exactly
// columns - 1 characters wide so that the terminal never wraps it; the bar
// takes the room the figures leave, and is left out below 10 characters.
std::string terminalProgressLine(const ProgressSnapshot& progress, int columns);

// "500/1000 lines (50%), 250 lines/s, 0:02 left": one line of a log.
std::string plainProgressLine(const ProgressSnapshot& progress);

}  // namespace tarvel
