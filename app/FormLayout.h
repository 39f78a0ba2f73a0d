// The main window's layout numbers and the rules that place and scale it.
// Sizes are pixels at 96 pixels per inch with a text height of 13.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tarvel::layout {

constexpr int kDesignDensity = 96;
constexpr int kDesignTextHeight = 13;
constexpr int kDesignFontPixels = 11;  // 8 points at 96 pixels per inch

constexpr QSize kOuterSize{243, 164};  // frame and title bar included
constexpr QSize kDesignClient{235, 130};
constexpr QRect kRadioGroup{11, 7, 190, 57};
constexpr QRect kSpeedButton{56, 71, 113, 31};
constexpr int kProgressBarHeight = 17;
constexpr int kRadioColumns = 2;

// a * b / c rounded to the nearest integer, halves away from zero.
int mulDivRounded(int a, int b, int c);

// The font's pixel height on a screen of that density.
int fontPixelsFor(double density);

// A design rectangle with its left, top, right and bottom edges each scaled by
// textHeight / 13 and rounded.
QRect scaledRect(const QRect& design, int textHeight);
int scaledLength(int design, int textHeight);

// Where a window of that outer size stands so it is centred on a desktop of
// that size: integer division, negative results raised to 0; relative to the
// primary screen's top-left corner.
QPoint centredPosition(const QSize& desktop, const QSize& window);

// Rectangle of radio item `index` of `count` inside a group of the given size,
// in `columns` columns filled top to bottom, for a line height.
QRect radioItemRect(int index, int count, int columns, const QSize& group, int lineHeight);

}  // namespace tarvel::layout
