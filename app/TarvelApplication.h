// The application object. Handlers guard themselves, but an error that still
// leaves an event's delivery is caught here and shown by the error handler, so
// no exception ever unwinds through the event loop.
#pragma once

#include <QApplication>

namespace tarvel {

class ErrorHandler;

class TarvelApplication : public QApplication {
public:
    TarvelApplication(int& argc, char** argv);

    // The handler that shows errors; none means they are dropped here.
    void setErrorHandler(ErrorHandler* handler) { m_errorHandler = handler; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorHandler* m_errorHandler = nullptr;
};

}  // namespace tarvel
