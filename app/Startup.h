// Start-up and end of the program around its one window.
#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>
#include <memory>

namespace tarvel {

class BoxPresenter;

// Creates the main window, shows it, runs the event loop until it is closed
// and destroys it. An error escaping the creation, the showing or the end is
// shown in the fatal error box through boxes and gives exit code 1; otherwise
// the exit code is 0. programPath names the module in the fatal text.
int runMainWindow(BoxPresenter& boxes, const std::function<std::unique_ptr<QWidget>()>& createWindow,
                  const QByteArray& programPath);

// The fatal error box's text for the error in flight.
std::string fatalTextFor(std::exception_ptr error, const QByteArray& programPath);

// The whole program: application object, title, icon, regional formats, the
// window with its boxes and error handler. Returns the exit code.
int runProgram(int argc, char** argv);

}  // namespace tarvel
