// ProgressBar1's class: a horizontal bar drawn in segments. Its position always
// lies within its range; each change shows at once, without the event loop,
// but the bar repaints only when the number of lit segments changes, so a run
// over a million rows does not spend its time painting.
#pragma once

#include <QWidget>

#include "ProgressSegments.h"

namespace tarvel {

class ProgressBar : public QWidget {
public:
    explicit ProgressBar(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const { return m_position; }

    // Throws tarvel::Error "TProgressBar property out of range" for a maximum
    // below the minimum (or a minimum above the maximum); the range stays.
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    // A position beyond either end lands on that end.
    void setPosition(int position);

    // Segments lit now, as last painted or about to be painted.
    int litSegments() const { return m_litSegments; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect innerRect() const;
    int segmentsFor(int position) const;
    // Repaints at once when the lit segment count differs from what is shown.
    void showChange();

    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    int m_litSegments = 0;
};

}  // namespace tarvel
