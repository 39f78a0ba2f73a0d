#include "BoxPresenter.h"

#include <QWidget>

#include "MessageDialog.h"

namespace tarvel {

DialogBoxPresenter::DialogBoxPresenter(QString applicationTitle)
    : m_applicationTitle(std::move(applicationTitle)) {}

int DialogBoxPresenter::present(BoxKind kind, const QString& message) {
    // A box never opens while a button still holds the mouse.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    MessageDialog dialog(boxDefinition(kind, m_applicationTitle), message);
    dialog.setWindowModality(Qt::ApplicationModal);
    return dialog.exec();
}

}  // namespace tarvel
