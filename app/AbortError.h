// The silent error: the application's error handler drops it without a box.
// Nothing in the program raises it today; it is the one way for a handler to
// end quietly.
#pragma once

#include "Error.h"

namespace tarvel {

class AbortError : public Error {
public:
    AbortError() : Error("Operation aborted") {}
};

}  // namespace tarvel
