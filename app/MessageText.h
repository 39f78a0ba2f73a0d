// The message of a box: wrapped at word breaks within a given width; "&x" shows
// x underlined and "&&" shows one '&', as the boxes' texts are drawn.
#pragma once

#include <QWidget>

namespace tarvel {

class MessageText : public QWidget {
public:
    MessageText(const QString& text, int wrapWidth, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kFlags =
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic | Qt::TextExpandTabs;
    QString m_text;
    int m_wrapWidth;
};

}  // namespace tarvel
