#include "SpeedButton.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace tarvel {

SpeedButton::SpeedButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
    setDefault(false);
    setShortcut(QKeySequence());
}

void SpeedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void SpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

// A key that reaches the button anyway (it never has the focus) presses nothing.
void SpeedButton::keyPressEvent(QKeyEvent* event) { event->ignore(); }

void SpeedButton::keyReleaseEvent(QKeyEvent* event) { event->ignore(); }

}  // namespace tarvel
