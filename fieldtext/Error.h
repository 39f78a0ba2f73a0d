// The one error type of the program: a failure carrying one message text.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvel {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tarvel
