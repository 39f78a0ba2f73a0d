#include "ProgressSegments.h"

#include <algorithm>
#include <cstdint>

namespace tarvel {

SegmentGeometry segmentGeometry(int innerHeight) { return {std::max(1, innerHeight * 2 / 3), 2}; }

int visibleSegments(int minimum, int maximum, int position, int innerWidth, SegmentGeometry geometry) {
    if (maximum <= minimum || innerWidth <= 0) return 0;
    // 64-bit arithmetic: the range of two 32-bit ends spans up to 2^32.
    const std::int64_t range = std::int64_t{maximum} - minimum;
    const std::int64_t done = std::clamp<std::int64_t>(std::int64_t{position} - minimum, 0, range);
    const std::int64_t filled = innerWidth * done / range;
    const std::int64_t step = std::int64_t{geometry.segmentWidth} + geometry.gap;
    if (step <= 0) return 0;
    return static_cast<int>((filled + step - 1) / step);
}

}  // namespace tarvel
