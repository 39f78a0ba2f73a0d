// How many segments of a segmented progress bar are lit for a position.
#pragma once

namespace tarvel {

struct SegmentGeometry {
    int segmentWidth = 0;  // width of one lit block
    int gap = 0;           // blank between blocks
};

// The block size for a bar whose inner area is innerHeight high.
SegmentGeometry segmentGeometry(int innerHeight);

// Segments lit over an inner width for position within [minimum, maximum]: the
// filled part is innerWidth * (position - minimum) / (maximum - minimum), and
// every block it reaches into is lit. An empty range lights none.
int visibleSegments(int minimum, int maximum, int position, int innerWidth, SegmentGeometry geometry);

}  // namespace tarvel
