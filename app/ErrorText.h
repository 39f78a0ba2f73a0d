// The texts the error box and the fatal error box show for an error message.
#pragma once

#include <cstdint>
#include <string>

namespace tarvel {

// The error box's text: the message, with a full stop appended when the message
// is not empty and its last byte, as an unsigned byte, sorts after '.' (0x2E).
// So a letter, digit, '/', ':', '?' or a multi-byte character gets one; a blank,
// a control character and the marks from '!' to '.' do not.
std::string errorBoxText(const std::string& message);

// The fatal error box's text, "Exception %s in module %s at %p.\r\n%s%s\r\n":
// the error's type name, the program file's name, the location as at least 8
// upper-case hexadecimal digits, the message, and a full stop when the message
// is not empty and does not already end in one.
std::string fatalErrorText(const std::string& typeName, const std::string& moduleName,
                           std::uintptr_t location, const std::string& message);

}  // namespace tarvel
