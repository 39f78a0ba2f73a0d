#include "MessageText.h"

#include <QPainter>

namespace tarvel {

namespace {

// Error texts may break their lines with CR LF; the painter knows only LF.
QString withLineFeeds(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

MessageText::MessageText(const QString& text, int wrapWidth, QWidget* parent)
    : QWidget(parent), m_text(withLineFeeds(text)), m_wrapWidth(wrapWidth > 0 ? wrapWidth : 1) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize MessageText::sizeHint() const {
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, m_wrapWidth, 1 << 20), kFlags, m_text);
    return bounds.size().expandedTo(QSize(1, fontMetrics().height()));
}

QSize MessageText::minimumSizeHint() const { return sizeHint(); }

void MessageText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), kFlags, m_text);
}

}  // namespace tarvel
