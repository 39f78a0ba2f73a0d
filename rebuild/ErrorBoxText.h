// The text an error is shown with, in the window's error box and on the
// command line's standard error alike.
#pragma once

#include <string>

namespace tarvel {

// The error box's text: the message, with a full stop appended when the message
// is not empty and its last byte, as an unsigned byte, sorts after '.' (0x2E).
// So a letter, digit, '/', ':', '?' or a multi-byte character gets one; a blank,
// a control character and the marks from '!' to '.' do not.
std::string errorBoxText(const std::string& message);

}  // namespace tarvel
