#include "FormLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tarvel::layout {

int mulDivRounded(int a, int b, int c) {
    if (c == 0) return -1;
    const std::int64_t product = std::int64_t{a} * b;
    const std::int64_t magnitude =
        (std::llabs(product) * 2 + std::llabs(c)) / (2 * std::llabs(std::int64_t{c}));
    const bool negative = (product < 0) != (c < 0);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int fontPixelsFor(double density) {
    return static_cast<int>(std::lround(kDesignFontPixels * density / kDesignDensity));
}

int scaledLength(int design, int textHeight) { return mulDivRounded(design, textHeight, kDesignTextHeight); }

QRect scaledRect(const QRect& design, int textHeight) {
    const int left = scaledLength(design.left(), textHeight);
    const int top = scaledLength(design.top(), textHeight);
    const int right = scaledLength(design.left() + design.width(), textHeight);
    const int bottom = scaledLength(design.top() + design.height(), textHeight);
    return QRect(left, top, right - left, bottom - top);
}

QPoint centredPosition(const QSize& desktop, const QSize& window) {
    return QPoint(std::max(0, (desktop.width() - window.width()) / 2),
                  std::max(0, (desktop.height() - window.height()) / 2));
}

QRect radioItemRect(int index, int count, int columns, const QSize& group, int lineHeight) {
    if (columns < 1) columns = 1;
    const int perColumn = std::max(1, (count + columns - 1) / columns);
    const int width = (group.width() - 10) / columns;
    const int columnHeight = group.height() - lineHeight - 5;
    const int height = columnHeight / perColumn;
    const int column = index / perColumn;
    const int row = index % perColumn;
    return QRect(8 + column * width, lineHeight + 1 + row * height, width, height);
}

}  // namespace tarvel::layout
