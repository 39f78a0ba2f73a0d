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
#include "ErrorHandler.h"
#include "ErrorText.h"
#include "FrmTarvelUpdate.h"
#include "RegionalFormats.h"
#include "TarvelApplication.h"
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
        QApplication::exec();
        window.reset();
        return 0;
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
    std::unique_ptr<TarvelApplication> application;
    try {
        application = std::make_unique<TarvelApplication>(argc, argv);
    } catch (...) {
        // No application object: no box can be shown.
        std::fputs(fatalTextFor(std::current_exception(), programPath).c_str(), stderr);
        return 1;
    }
    const QString title = applicationTitleFromPath(programPath);
    // The window class carries the title, so the taskbar groups and labels the
    // program by it; the desktop file gives it its icon there.
    QCoreApplication::setApplicationName(title);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvelreset"));
    QApplication::setWindowIcon(QIcon(QPixmap(TarvelReset_xpm)));

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
    return code;
}

}  // namespace tarvel
