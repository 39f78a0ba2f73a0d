#include "Startup.h"

#include <cxxabi.h>
#include <dlfcn.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "ApplicationTitle.h"
#include "BoxPresenter.h"
#include "DriverLibrary.h"
#include "Error.h"
#include "ErrorHandler.h"
#include "ErrorText.h"
#include "FrmTarvelUpdate.h"
#include "RegionalFormats.h"
#include "TarvelApplication.h"
#include "TerminationSignals.h"
#include "X11WindowNames.h"

namespace tarvel {

namespace {

#include "TarvelReset.xpm"

std::string demangled(const char* name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                         &std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(name);
}

std::string typeNameOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return demangled(typeid(e).name());
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        return type ? demangled(type->name()) : std::string("unknown");
    }
}

// C++ keeps no address for where an error arose; the start-up code's offset
// within its module stands for it, so the text points into the program.
std::uintptr_t startupLocation() {
    Dl_info info{};
    const auto here = reinterpret_cast<std::uintptr_t>(&runMainWindow);
    if (::dladdr(reinterpret_cast<void*>(here), &info) != 0 && info.dli_fbase)
        return here - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    return here;
}

// The program path, for the fatal text a failing start-up prints, and the
// message handler that was in place before start-up.
QByteArray startingProgramPath;
QtMessageHandler handlerBeforeStartup = nullptr;

// While the application object is being made, a fatal Qt message (no display,
// no platform plugin that loads) is a start-up failure like any other: its
// text is printed as the fatal error text and the program exits with code 1
// instead of aborting.
void fatalDuringStartup(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (handlerBeforeStartup) handlerBeforeStartup(type, context, message);
        return;
    }
    const std::string text =
        fatalTextFor(std::make_exception_ptr(Error(message.toStdString())), startingProgramPath);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    // Nothing exists yet that would need an orderly end.
    std::_Exit(1);
}

}  // namespace

std::string fatalTextFor(std::exception_ptr error, const QByteArray& programPath) {
    return fatalErrorText(typeNameOf(error), programFileName(programPath).toStdString(), startupLocation(),
                          ErrorHandler::messageOf(error));
}

int runMainWindow(BoxPresenter& boxes, const std::function<std::unique_ptr<QWidget>()>& createWindow,
                  const QByteArray& programPath) {
    try {
        std::unique_ptr<QWidget> window = createWindow();
        window->show();
        // 0 once the window is closed; 128 + the signal after a termination signal.
        const int code = QApplication::exec();
        window.reset();
        return code;
    } catch (...) {
        const std::string text = fatalTextFor(std::current_exception(), programPath);
        try {
            boxes.present(BoxKind::Fatal, QString::fromUtf8(text));
        } catch (...) {
            std::fputs(text.c_str(), stderr);
        }
        return 1;
    }
}

int runProgram(int argc, char** argv) {
    const QByteArray programPath = runningProgramPath();
    // The program takes no arguments: Qt is given the program's name alone,
    // so none of its own options (-platform, -qwindowtitle, ...) applies.
    static char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    static int qtArgc = argc > 0 ? 1 : 0;
    std::unique_ptr<TarvelApplication> application;
    startingProgramPath = programPath;
    handlerBeforeStartup = qInstallMessageHandler(fatalDuringStartup);
    // Held back before the application starts any thread, so that no thread
    // of Qt's or of the client library's ever takes them.
    StopSignals stops;
    std::unique_ptr<TerminationSignals> terminationSignals;
    try {
        stops.block();
        application = std::make_unique<TarvelApplication>(qtArgc, qtArgv);
        qInstallMessageHandler(handlerBeforeStartup);
        terminationSignals = std::make_unique<TerminationSignals>(stops);
    } catch (...) {
        // No application object, or no way to end cleanly: no box is shown.
        qInstallMessageHandler(handlerBeforeStartup);
        std::fputs(fatalTextFor(std::current_exception(), programPath).c_str(), stderr);
        return 1;
    }
    const QString title = applicationTitleFromPath(programPath);
    // The window class carries the title, so the taskbar groups and labels the
    // program by it; the desktop file gives it its icon there.
    QCoreApplication::setApplicationName(title);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvelreset"));
    // The installed icon theme's icon (hicolor, every size), else the one
    // built in, so that a program run from the build folder has one too.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("tarvelreset"), QIcon(QPixmap(TarvelReset_xpm))));

    DialogBoxPresenter boxes(title);
    ErrorHandler errors(boxes);
    application->setErrorHandler(&errors);

    const int code = runMainWindow(
        boxes,
        [&]() -> std::unique_ptr<QWidget> {
            reloadCurrentFormats();
            auto window = std::make_unique<TFormTarvelReset>(boxes, errors);
            window->winId();
            setX11IconName(window.get(), title);
            return window;
        },
        programPath);
    application->setErrorHandler(nullptr);
    // The window and its connection are gone; the client library ends its
    // threads (and an embedded engine its database files) in order.
    DriverLibrary::shutDownAll();
    return code;
}

}  // namespace tarvel
