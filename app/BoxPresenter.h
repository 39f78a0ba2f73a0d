// The one way the program shows a box. The window and the error handler ask a
// BoxPresenter; the program's presenter shows a real modal dialog, tests give
// one that answers from a script.
#pragma once

#include <QString>

#include "BoxDefinition.h"

namespace tarvel {

class BoxPresenter {
public:
    virtual ~BoxPresenter() = default;
    // Shows the box of that kind with the message, waits until it is closed and
    // returns the result of the button pressed (or the close result).
    virtual int present(BoxKind kind, const QString& message) = 0;
};

// Shows each box as a MessageDialog, modal to the whole program.
class DialogBoxPresenter : public BoxPresenter {
public:
    // applicationTitle captions the information and error boxes.
    explicit DialogBoxPresenter(QString applicationTitle);
    int present(BoxKind kind, const QString& message) override;

private:
    QString m_applicationTitle;
};

}  // namespace tarvel
