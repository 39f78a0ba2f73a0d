// RadioGroup1's class: a framed group without title holding radio items placed
// by rule in columns. ItemIndex is -1 until an item is chosen. Only the chosen
// item is a tab stop, so at start Tab reaches none of them; clicking an item
// chooses it, and the arrow keys then move between the items.
#pragma once

#include <QGroupBox>
#include <QList>

class QRadioButton;

namespace tarvel {

class RadioGroup : public QGroupBox {
public:
    RadioGroup(const QStringList& items, int columns, QWidget* parent = nullptr);

    // -1 when no item is chosen.
    int itemIndex() const;
    void setItemIndex(int index);
    QRadioButton* item(int index) const { return m_items.at(index); }
    int count() const { return static_cast<int>(m_items.size()); }

    // Places the items for the line height of the font in use.
    void arrangeItems(int lineHeight);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Arrow keys on an item: Right and Down choose the next item, Left and Up
    // the previous one, wrapping around, in item order rather than on screen.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateTabStops();

    QList<QRadioButton*> m_items;
    int m_columns;
    int m_lineHeight = 13;
};

}  // namespace tarvel
