#include "ErrorHandler.h"

#include <QString>
#include <QWidget>
#include <stdexcept>

#include "AbortError.h"
#include "BoxPresenter.h"
#include "ErrorText.h"

namespace tarvel {

std::string ErrorHandler::messageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}

void ErrorHandler::handle(std::exception_ptr error) noexcept {
    if (!error) return;
    try {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
        try {
            std::rethrow_exception(error);
        } catch (const AbortError&) {
            return;
        } catch (...) {
        }
        m_boxes.present(BoxKind::Error, QString::fromUtf8(errorBoxText(messageOf(error))));
    } catch (...) {
        // Showing the box failed (out of memory, or a box's own error): there is
        // nothing left to show it with, and the event loop must go on.
    }
}

}  // namespace tarvel
