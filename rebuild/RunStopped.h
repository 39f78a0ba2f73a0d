// The failure a stop raises in the shell (a stop signal taken between lines
// or after a cancelled call): the run keeps its text and kind as they are.
#pragma once

#include <string>

#include "Error.h"

namespace tarvel {

class RunStopped : public Error {
public:
    explicit RunStopped(const std::string& message) : Error(message) {}
};

}  // namespace tarvel
