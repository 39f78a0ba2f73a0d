#include "RadioGroup.h"

#include <QKeyEvent>
#include <QRadioButton>

#include "FormLayout.h"

namespace tarvel {

RadioGroup::RadioGroup(const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(parent), m_columns(columns) {
    setFocusPolicy(Qt::NoFocus);
    for (const QString& text : items) {
        auto* item = new QRadioButton(text, this);
        item->setAutoExclusive(true);
        connect(item, &QRadioButton::toggled, this, [this] { updateTabStops(); });
        item->installEventFilter(this);
        m_items.append(item);
    }
    updateTabStops();
}

int RadioGroup::itemIndex() const {
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->isChecked()) return i;
    }
    return -1;
}

void RadioGroup::setItemIndex(int index) {
    if (index >= 0 && index < m_items.size()) {
        m_items.at(index)->setChecked(true);
        return;
    }
    // Auto-exclusive items refuse to be cleared one by one.
    for (QRadioButton* item : m_items) {
        item->setAutoExclusive(false);
        item->setChecked(false);
        item->setAutoExclusive(true);
    }
}

void RadioGroup::updateTabStops() {
    // Clicking still focuses any item; only the chosen one is reached by Tab.
    for (QRadioButton* item : m_items)
        item->setFocusPolicy(item->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void RadioGroup::arrangeItems(int lineHeight) {
    m_lineHeight = lineHeight;
    const int count = static_cast<int>(m_items.size());
    for (int i = 0; i < count; ++i)
        m_items.at(i)->setGeometry(layout::radioItemRect(i, count, m_columns, size(), lineHeight));
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QGroupBox::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    int step = 0;
    switch (key->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            step = 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            step = -1;
            break;
        default:
            return false;
    }
    const int count = static_cast<int>(m_items.size());
    const int current = static_cast<int>(m_items.indexOf(static_cast<QRadioButton*>(watched)));
    if (current < 0 || count == 0) return false;
    QRadioButton* next = m_items.at(((current + step) % count + count) % count);
    next->setChecked(true);
    next->setFocus(Qt::TabFocusReason);
    return true;
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    arrangeItems(m_lineHeight);
}

}  // namespace tarvel
