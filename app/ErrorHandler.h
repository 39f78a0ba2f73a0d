// The application's error handler: every error that leaves an event handler
// ends here. It lets go of any mouse capture, drops the silent abort error,
// and shows every other error's message in the error box (with the full stop
// rule); the program then goes on with its event loop.
#pragma once

#include <exception>
#include <string>

namespace tarvel {

class BoxPresenter;

class ErrorHandler {
public:
    explicit ErrorHandler(BoxPresenter& boxes) : m_boxes(boxes) {}

    // Shows the given error. Never throws.
    void handle(std::exception_ptr error) noexcept;

    // Runs a handler; an error it raises is shown instead of travelling on.
    template <typename Handler>
    void guarded(Handler&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            handle(std::current_exception());
        }
    }

    // The message an error carries.
    static std::string messageOf(std::exception_ptr error);

private:
    BoxPresenter& m_boxes;
};

}  // namespace tarvel
