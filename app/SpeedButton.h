// SpeedButton1's class: a raised push button that never takes the keyboard
// focus and has no access key, so only the mouse can press it. It runs its
// command (clicked) when the left button is released over it; the other mouse
// buttons do nothing.
#pragma once

#include <QPushButton>

namespace tarvel {

class SpeedButton : public QPushButton {
public:
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

}  // namespace tarvel
