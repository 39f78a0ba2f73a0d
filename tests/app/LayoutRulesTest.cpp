// The window's placement and scaling rules and the progress bar's segment count.
#include <gtest/gtest.h>

#include <limits>

#include "FormLayout.h"
#include "ProgressSegments.h"

namespace tarvel {
namespace {

TEST(LayoutRules, MulDivRoundsHalvesAwayFromZero) {
    const struct {
        int a, b, c, result;
    } cases[] = {
        {11, 16, 13, 14},    // 13.54
        {7, 16, 13, 9},      // 8.62
        {13, 1, 2, 7},       // 6.5 rounds up
        {-13, 1, 2, -7},     // -6.5 rounds away from zero
        {5, 3, 6, 3},        // 2.5
        {4, 3, 6, 2},        // exact
        {190, 13, 13, 190},  // unchanged at the design height
        {std::numeric_limits<int>::max(), 2, 2, std::numeric_limits<int>::max()},  // no overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout::mulDivRounded(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(LayoutRules, FontFollowsTheDensity) {
    const struct {
        double density;
        int pixels;
    } cases[] = {{96, 11}, {120, 14}, {144, 17}, {192, 22}, {72, 8}};
    for (const auto& c : cases) EXPECT_EQ(layout::fontPixelsFor(c.density), c.pixels) << c.density;
}

TEST(LayoutRules, ControlEdgesScaleWithTheTextHeight) {
    const struct {
        QRect design;
        int textHeight;
        QRect scaled;
    } cases[] = {
        {layout::kRadioGroup, 13, QRect(11, 7, 190, 57)},
        {layout::kSpeedButton, 13, QRect(56, 71, 113, 31)},
        // Edges, not sizes, are scaled: right 201 -> 247, bottom 64 -> 79.
        {layout::kRadioGroup, 16, QRect(14, 9, 233, 70)},
        {layout::kSpeedButton, 16, QRect(69, 87, 139, 39)},
        {layout::kRadioGroup, 26, QRect(22, 14, 380, 114)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout::scaledRect(c.design, c.textHeight), c.scaled) << c.textHeight;
}

TEST(LayoutRules, CentredWithIntegerDivisionAndNeverNegative) {
    const struct {
        QSize desktop;
        QPoint position;
    } cases[] = {
        {QSize(1024, 768), QPoint(390, 302)},   {QSize(1025, 769), QPoint(391, 302)},
        {QSize(3840, 1080), QPoint(1798, 458)},  // two monitors side by side
        {QSize(200, 100), QPoint(0, 0)},        {QSize(243, 164), QPoint(0, 0)},
    };
    for (const auto& c : cases) EXPECT_EQ(layout::centredPosition(c.desktop, layout::kOuterSize), c.position);
}

TEST(LayoutRules, RadioItemsFillColumnsTopToBottom) {
    const QSize group(190, 57);
    const struct {
        int index, count, columns;
        QRect rect;
    } cases[] = {
        {0, 2, 2, QRect(8, 14, 90, 39)},  {1, 2, 2, QRect(98, 14, 90, 39)},
        {0, 5, 2, QRect(8, 14, 90, 13)},  // three to a column, 39 / 3 high
        {2, 5, 2, QRect(8, 40, 90, 13)},  {3, 5, 2, QRect(98, 14, 90, 13)},
        {4, 5, 2, QRect(98, 27, 90, 13)}, {1, 2, 1, QRect(8, 33, 180, 19)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout::radioItemRect(c.index, c.count, c.columns, group, 13), c.rect)
            << c.index << " of " << c.count;
}

TEST(ProgressSegments, LitBlocksFollowThePosition) {
    const SegmentGeometry geometry{8, 2};  // step 10
    const struct {
        int minimum, maximum, position, innerWidth, lit;
    } cases[] = {
        {0, 100, 0, 231, 0},
        {0, 100, 1, 231, 1},     // 2 pixels filled reach into the first block
        {0, 100, 50, 231, 12},   // 115 pixels
        {0, 100, 100, 231, 24},  // all, the last one clipped
        {0, 100, 150, 231, 24},  // beyond the end counts as the end
        {0, 100, -5, 231, 0},
        {0, 0, 0, 231, 0},  // empty range
        {-100, 100, 0, 200, 10},
        {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
         231, 24},
        {0, 1000000, 999999, 231, 23},  // 230 pixels: one short of the last block
        {0, 1000000, 1000, 231, 0},     // not yet one pixel
        {0, 1000000, 10000, 231, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visibleSegments(c.minimum, c.maximum, c.position, c.innerWidth, geometry), c.lit)
            << c.minimum << ".." << c.maximum << " at " << c.position;
}

}  // namespace
}  // namespace tarvel
