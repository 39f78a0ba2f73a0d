// Counts the paint events a widget receives.
#pragma once

#include <QEvent>
#include <QWidget>

namespace tarvel::testing {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace tarvel::testing
