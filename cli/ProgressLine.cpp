#include "ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvel {

int percentDone(const ProgressSnapshot& progress) {
    if (progress.maximum <= 0) return 100;
    const std::int64_t position = std::clamp<std::int64_t>(progress.position, 0, progress.maximum);
    return static_cast<int>(position * 100 / progress.maximum);
}

double linesPerSecond(const ProgressSnapshot& progress) {
    if (progress.elapsedSeconds <= 0 || progress.position <= 0) return 0;
    return static_cast<double>(progress.position) / progress.elapsedSeconds;
}

double secondsLeft(const ProgressSnapshot& progress) {
    const std::int64_t remaining = std::max<std::int64_t>(progress.maximum - progress.position, 0);
    if (remaining == 0) return 0;
    const double pace = linesPerSecond(progress);
    return pace > 0 ? static_cast<double>(remaining) / pace : -1;
}

std::string durationText(double seconds) {
    if (seconds < 0 || !std::isfinite(seconds)) return "--:--";
    const auto whole = static_cast<long long>(std::ceil(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

namespace {

std::string figures(const ProgressSnapshot& progress, const char* between, bool percentFirst) {
    char text[160];
    const long long pace = std::llround(linesPerSecond(progress));
    const std::string left = durationText(secondsLeft(progress));
    if (percentFirst)
        std::snprintf(text, sizeof text, "%3d%%%s%lld/%lld lines%s%lld lines/s%s%s left",
                      percentDone(progress), between, static_cast<long long>(progress.position),
                      static_cast<long long>(progress.maximum), between, pace, between, left.c_str());
    else
        std::snprintf(text, sizeof text, "%lld/%lld lines (%d%%),%s%lld lines/s,%s%s left",
                      static_cast<long long>(progress.position), static_cast<long long>(progress.maximum),
                      percentDone(progress), between, pace, between, left.c_str());
    return text;
}

}  // namespace

std::string terminalProgressLine(const ProgressSnapshot& progress, int columns) {
    const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    std::string line = figures(progress, "  ", true);
    constexpr std::size_t kSmallestBar = 10;
    // "[" + bar + "] " in front of the figures.
    if (width >= line.size() + kSmallestBar + 3) {
        const std::size_t bar = width - line.size() - 3;
        const std::size_t filled = bar * static_cast<std::size_t>(percentDone(progress)) / 100;
        line = "[" + std::string(filled, '#') + std::string(bar - filled, '.') + "] " + line;
    }
    line.resize(width, ' ');
    return line;
}

std::string plainProgressLine(const ProgressSnapshot& progress) { return figures(progress, " ", false); }

}  // namespace tarvel
