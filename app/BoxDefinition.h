// What each of the program's boxes is made of: caption, icon, buttons with the
// result each gives, and the results of Escape and of closing the box.
#pragma once

#include <QList>
#include <QString>

#include "ResetShell.h"

namespace tarvel {

enum class BoxKind { Confirmation, Information, Error, Fatal };
enum class BoxIcon { None, Question, Stop };

// Results the boxes give. Yes, No and closed are the numbers the history
// rebuild reads back from its confirmation, so they are taken from there.
constexpr int kResultOk = 1;
constexpr int kResultClosed = ResetShell::kClosed;
constexpr int kResultYes = ResetShell::kYes;
constexpr int kResultNo = ResetShell::kNo;

struct BoxButton {
    QString caption;  // may hold one '&' before its access key
    int result = 0;
};

struct BoxDefinition {
    QString caption;
    BoxIcon icon = BoxIcon::None;
    QList<BoxButton> buttons;  // in the order they stand; the first has the focus first
    int escapeResult = 0;
    int closeResult = 0;
};

// applicationTitle captions the information and error boxes.
BoxDefinition boxDefinition(BoxKind kind, const QString& applicationTitle);

// The text Ctrl+C puts on the clipboard: divider, caption, divider, message,
// divider, the button captions without '&' each followed by three blanks,
// divider; every line ends in CR LF. The message keeps its ampersands.
QString boxCopyText(const QString& caption, const QString& message, const QList<BoxButton>& buttons);

// The access key letter of a caption (the character after a lone '&'), upper
// case; a null character when it has none.
QChar accessKeyOf(const QString& caption);

}  // namespace tarvel
