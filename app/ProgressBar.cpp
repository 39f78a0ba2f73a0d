#include "ProgressBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "Error.h"

namespace tarvel {

namespace {
const char* const kOutOfRange = "TProgressBar property out of range";
// Sunken border plus one pixel of padding around the segments.
constexpr int kInset = 2;
}  // namespace

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBar::setMinimum(int minimum) {
    if (minimum > m_maximum) throw Error(kOutOfRange);
    m_minimum = minimum;
    m_position = std::max(m_position, m_minimum);
    showChange();
}

void ProgressBar::setMaximum(int maximum) {
    if (maximum < m_minimum) throw Error(kOutOfRange);
    m_maximum = maximum;
    m_position = std::min(m_position, m_maximum);
    showChange();
}

void ProgressBar::setPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
    showChange();
}

QRect ProgressBar::innerRect() const { return rect().adjusted(kInset, kInset, -kInset, -kInset); }

int ProgressBar::segmentsFor(int position) const {
    const QRect inner = innerRect();
    return visibleSegments(m_minimum, m_maximum, position, inner.width(), segmentGeometry(inner.height()));
}

void ProgressBar::showChange() {
    const int segments = segmentsFor(m_position);
    if (segments == m_litSegments) return;
    m_litSegments = segments;
    // The rebuild runs without returning to the event loop: paint now.
    if (isVisible()) repaint();
}

void ProgressBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_litSegments = segmentsFor(m_position);
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);

    const QRect inner = innerRect();
    const SegmentGeometry geometry = segmentGeometry(inner.height());
    painter.setClipRect(inner);
    const QColor colour = palette().color(QPalette::Highlight);
    for (int i = 0; i < m_litSegments; ++i) {
        const int left = inner.left() + i * (geometry.segmentWidth + geometry.gap);
        painter.fillRect(QRect(left, inner.top(), geometry.segmentWidth, inner.height()), colour);
    }
}

}  // namespace tarvel
