// What the history rebuild asks of the window that runs it.
#pragma once

#include <string>

#include "HistoryPair.h"

namespace tarvel {

class ResetShell {
public:
    virtual ~ResetShell() = default;

    // Results of the confirmation box: Yes, No, and closed without an answer.
    // The window's boxes give these same numbers.
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;
    static constexpr int kClosed = 2;

    // Shows the confirmation box (Yes/No) and returns the button's result.
    virtual int confirm(const std::string& question) = 0;
    // Chosen radio item: 0 purchase history, 1 sales history, -1 none.
    virtual int chosenIndex() = 0;
    // Sets the progress bar's maximum; takes effect on screen at once.
    virtual void setProgressMax(int maximum) = 0;
    // Sets the progress bar's position (kept within its range); shown at once.
    virtual void setProgressPosition(int position) = 0;
    // The progress bar's position.
    virtual int progressPosition() = 0;
    // Shows the information box and returns when it is closed.
    virtual void showInformation(const std::string& message) = 0;
    // After a server call was cancelled (a stop signal waited while it ran):
    // takes the stop signal now and keeps it, so that nothing more is
    // cancelled while the run puts its finished lines away...
    virtual void holdStop() {}
    // ...and then ends the run as a stop between lines ends it, when one was
    // taken; returns otherwise.
    virtual void endIfStopped() {}
    // Told of each qualifying line once it is committed (the command line
    // counts the pairs for its summary); nothing by default.
    virtual void lineWritten(const HistoryPair& pair) { static_cast<void>(pair); }
};

}  // namespace tarvel
