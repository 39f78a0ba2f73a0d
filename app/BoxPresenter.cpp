#include "BoxPresenter.h"

#include <QApplication>
#include <QWidget>

#include "ErrorText.h"
#include "MessageDialog.h"

namespace tarvel {

DialogBoxPresenter::DialogBoxPresenter(QString applicationTitle)
    : m_applicationTitle(std::move(applicationTitle)) {}

int DialogBoxPresenter::present(BoxKind kind, const QString& message) {
    // A box never opens while a button still holds the mouse.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    MessageDialog dialog(boxDefinition(kind, m_applicationTitle), message);
    dialog.setErrorReporter([this](const std::string& error) {
        present(BoxKind::Error, QString::fromUtf8(errorBoxText(error)));
    });
    dialog.setWindowModality(Qt::ApplicationModal);
    const int result = dialog.exec();
    dialog.hide();
    // The caller may go on working without the event loop (the rebuild does):
    // paint the windows the box uncovered now, or they would keep showing the
    // box's picture until the work ends.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window != &dialog) window->repaint();
    }
    return result;
}

}  // namespace tarvel
