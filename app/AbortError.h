// The silent error: the application's error handler drops it without a box.
// A run raises it when a stop signal ends it; it is the one way for a
// handler to end quietly.
#pragma once

#include "RunStopped.h"

namespace tarvel {

class AbortError : public RunStopped {
public:
    AbortError() : RunStopped("Operation aborted") {}
};

}  // namespace tarvel
