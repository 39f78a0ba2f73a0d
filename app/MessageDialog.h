// One modal box of the program, built anew for each question or message: an
// optional icon, the message wrapped within half the screen width, and one row
// of equally wide buttons. Keys: Enter presses the focused button, Escape gives
// the box's escape result, Tab and the arrow keys move between the buttons, an
// access letter (alone or with Alt) presses its button, and Ctrl+C beeps and
// copies the box's text block. Closing it through the window manager gives the
// box's close result.
#pragma once

#include <QDialog>
#include <QList>
#include <functional>
#include <string>

#include "BoxDefinition.h"

class QPushButton;
class QScreen;

namespace tarvel {

class MessageDialog : public QDialog {
    Q_OBJECT
public:
    MessageDialog(const BoxDefinition& definition, const QString& message, QWidget* parent = nullptr);

    // The sound made when the text is copied (the system's beep unless replaced).
    void setBeep(std::function<void()> beep);
    // Puts a text on the clipboard; false when the clipboard could not be
    // taken (the system's clipboard unless replaced).
    void setClipboardWriter(std::function<bool(const QString&)> writer);
    // Shows an error met inside the box (the box stays open meanwhile).
    void setErrorReporter(std::function<void(const std::string&)> reporter);
    // The text block Ctrl+C copies.
    QString copyText() const;
    const QList<QPushButton*>& buttons() const { return m_buttons; }
    // The screen the box is placed on: that of the active window, else the primary.
    static QScreen* targetScreen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
    int focusedButtonIndex() const;
    void moveFocus(int step);
    void copyToClipboard();
    void centreOnScreen();

    BoxDefinition m_definition;
    QString m_message;
    QList<QPushButton*> m_buttons;
    std::function<void()> m_beep;
    std::function<bool(const QString&)> m_writeClipboard;
    std::function<void(const std::string&)> m_reportError;
};

}  // namespace tarvel
