// The texts the error box and the fatal error box show for an error message.
#pragma once

#include <cstdint>
#include <string>

#include "ErrorBoxText.h"

namespace tarvel {

// The fatal error box's text, "Exception %s in module %s at %p.\r\n%s%s\r\n":
// the error's type name, the program file's name, the location as at least 8
// upper-case hexadecimal digits, the message, and a full stop when the message
// is not empty and does not already end in one.
std::string fatalErrorText(const std::string& typeName, const std::string& moduleName,
                           std::uintptr_t location, const std::string& message);

}  // namespace tarvel
