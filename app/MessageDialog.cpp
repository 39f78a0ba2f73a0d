#include "MessageDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "MessageText.h"

namespace tarvel {

namespace {

QPixmap iconPixmap(QStyle* style, BoxIcon icon) {
    const auto which =
        icon == BoxIcon::Question ? QStyle::SP_MessageBoxQuestion : QStyle::SP_MessageBoxCritical;
    return style->standardIcon(which).pixmap(32, 32);
}

}  // namespace

MessageDialog::MessageDialog(const BoxDefinition& definition, const QString& message, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_definition(definition),
      m_message(message),
      m_beep([] { QApplication::beep(); }),
      m_writeClipboard([](const QString& text) {
          QClipboard* clipboard = QGuiApplication::clipboard();
          clipboard->setText(text);
          // Another program that keeps the selection leaves its own text there.
          return clipboard->text() == text;
      }) {
    setWindowTitle(definition.caption);
    setModal(true);

    QScreen* screen = targetScreen();
    const int wrapWidth = screen ? screen->geometry().width() / 2 : 320;

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    if (definition.icon != BoxIcon::None) {
        auto* icon = new QLabel(this);
        icon->setPixmap(iconPixmap(style(), definition.icon));
        icon->setFixedSize(32, 32);
        top->addWidget(icon, 0, Qt::AlignTop);
    }
    top->addWidget(new MessageText(message, wrapWidth, this), 0, Qt::AlignVCenter);
    top->addStretch(1);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addStretch(1);
    int buttonWidth = 75;
    for (const BoxButton& definitionButton : definition.buttons) {
        auto* button = new QPushButton(definitionButton.caption, this);
        // The caption's access key is handled by this box (alone or with Alt),
        // not by a shortcut that would click the button with a delay.
        button->setShortcut(QKeySequence());
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        const int result = definitionButton.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        buttonWidth = std::max(buttonWidth, button->sizeHint().width());
        m_buttons.append(button);
        row->addWidget(button);
    }
    for (QPushButton* button : m_buttons) button->setFixedWidth(buttonWidth);
    row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(14);
    layout->addLayout(top);
    layout->addLayout(row);

    if (!m_buttons.isEmpty()) {
        m_buttons.first()->setDefault(true);
        m_buttons.first()->setFocus(Qt::OtherFocusReason);
    }
}

void MessageDialog::setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

void MessageDialog::setClipboardWriter(std::function<bool(const QString&)> writer) {
    m_writeClipboard = std::move(writer);
}

void MessageDialog::setErrorReporter(std::function<void(const std::string&)> reporter) {
    m_reportError = std::move(reporter);
}

QString MessageDialog::copyText() const {
    return boxCopyText(m_definition.caption, m_message, m_definition.buttons);
}

QScreen* MessageDialog::targetScreen() {
    if (QWidget* active = QApplication::activeWindow()) {
        if (QScreen* screen = active->screen()) return screen;
    }
    return QGuiApplication::primaryScreen();
}

bool MessageDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QDialog::keyPressEvent(event);
}

void MessageDialog::closeEvent(QCloseEvent* event) {
    // The title bar's close button, its menu and Alt+F4 all arrive here.
    done(m_definition.closeResult);
    event->accept();
}

void MessageDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen();
}

void MessageDialog::centreOnScreen() {
    QScreen* screen = targetScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize box = size();
    const int left = std::max(0, (area.width() - box.width()) / 2);
    const int top = std::max(0, (area.height() - box.height()) / 2);
    move(area.left() + left, area.top() + top);
}

int MessageDialog::focusedButtonIndex() const {
    for (int i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons.at(i)->hasFocus()) return i;
    }
    return -1;
}

void MessageDialog::moveFocus(int step) {
    if (m_buttons.isEmpty()) return;
    const int count = static_cast<int>(m_buttons.size());
    const int current = focusedButtonIndex();
    const int next = current < 0 ? 0 : ((current + step) % count + count) % count;
    m_buttons.at(next)->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void MessageDialog::copyToClipboard() {
    m_beep();
    if (!m_writeClipboard(copyText()) && m_reportError) m_reportError("Cannot open clipboard");
}

bool MessageDialog::handleKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();

    if (key == Qt::Key_C && modifiers == Qt::ControlModifier) {
        copyToClipboard();
        return true;
    }
    if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
        switch (key) {
            case Qt::Key_Escape:
                if (modifiers != Qt::NoModifier) break;
                done(m_definition.escapeResult);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter: {
                if (modifiers != Qt::NoModifier) break;
                const int index = focusedButtonIndex();
                if (!m_buttons.isEmpty()) m_buttons.at(index >= 0 ? index : 0)->click();
                return true;
            }
            case Qt::Key_Right:
            case Qt::Key_Down:
                if (modifiers != Qt::NoModifier) break;
                moveFocus(1);
                return true;
            case Qt::Key_Left:
            case Qt::Key_Up:
                if (modifiers != Qt::NoModifier) break;
                moveFocus(-1);
                return true;
            default:
                break;
        }
    }
    // An access letter pressed alone, with Shift, or with Alt presses its button.
    const Qt::KeyboardModifiers letterModifiers = modifiers & ~Qt::ShiftModifier;
    if ((letterModifiers == Qt::NoModifier || letterModifiers == Qt::AltModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z) {
        for (int i = 0; i < m_buttons.size(); ++i) {
            if (accessKeyOf(m_definition.buttons.at(i).caption) == QChar(key)) {
                m_buttons.at(i)->click();
                return true;
            }
        }
    }
    return false;
}

}  // namespace tarvel
