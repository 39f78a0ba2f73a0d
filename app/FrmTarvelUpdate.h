// The main window FormTarvelReset: the radio group choosing purchase or sales
// history, the reset button that runs the rebuild, and the progress bar that
// follows it. The window is the shell the rebuild asks for its question, its
// chosen kind, its bar and its closing message.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ResetShell.h"

namespace tarvel {

class BoxPresenter;
class ErrorHandler;
class ProgressBar;
class RadioGroup;
class SpeedButton;
class SqlConnection;
class SqlQuery;

// What the reset button runs, given the window as its shell.
using ResetRunner = std::function<void(ResetShell&)>;

class TFormTarvelReset : public QWidget, public ResetShell {
    Q_OBJECT
public:
    // run: the rebuild to run on a click; empty runs the history rebuild over
    // the window's own connection and queries.
    TFormTarvelReset(BoxPresenter& boxes, ErrorHandler& errors, ResetRunner run = {},
                     QWidget* parent = nullptr);
    ~TFormTarvelReset() override;

    RadioGroup* RadioGroup1 = nullptr;
    SpeedButton* SpeedButton1 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;
    // The one connection and the two queries; declared in this order so the
    // queries let their driver objects go before the connection closes.
    std::unique_ptr<SqlConnection> SQLConnection1;
    std::unique_ptr<SqlQuery> SQLQuery1;
    std::unique_ptr<SqlQuery> SQLQuery2;

    // The reset command; errors leave it unhandled, to the caller.
    void SpeedButton1Click(QObject* sender);

    // The text height the layout was scaled for (13 at 96 pixels per inch).
    int textHeight() const { return m_textHeight; }

    // ResetShell
    int confirm(const std::string& question) override;
    int chosenIndex() override;
    void setProgressMax(int maximum) override;
    void setProgressPosition(int position) override;
    int progressPosition() override;
    void showInformation(const std::string& message) override;
    void holdStop() override;
    void endIfStopped() override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // While the reset command runs the window cannot be closed.
    void closeEvent(QCloseEvent* event) override;

private:
    // After the bar showed a change: lets the window catch up on what the
    // window system asked of it meanwhile (parts uncovered by a closed box
    // are painted again), without taking any input.
    void catchUpWithWindowSystem(int litSegmentsBefore);
    // Once the program has been told to end by a signal, the run stops at
    // its next step with the silent abort error (the lines written are kept).
    void endRunWhenTerminating();

    void applyFont();
    void placeControls();
    // Centres the outer rectangle on the desktop, for a frame of those margins.
    void placeOnDesktop(const QMargins& frame);
    void fitFrame();

    BoxPresenter& m_boxes;
    ErrorHandler& m_errors;
    ResetRunner m_run;
    int m_textHeight = 13;
    bool m_placed = false;
    bool m_frameFitted = false;
    // Looks for the frame for a while after the window is shown: a window
    // manager that frames it late, around a client that then stays where it
    // was, sends it no move, resize or repaint that would show the frame.
    QTimer m_frameLook;
    int m_frameLooksLeft = 0;
    bool m_running = false;
};

}  // namespace tarvel
