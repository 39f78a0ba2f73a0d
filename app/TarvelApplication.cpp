#include "TarvelApplication.h"

#include "ErrorHandler.h"

namespace tarvel {

TarvelApplication::TarvelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TarvelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_errorHandler) m_errorHandler->handle(std::current_exception());
        return false;
    }
}

}  // namespace tarvel
