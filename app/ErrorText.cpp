#include "ErrorText.h"

#include <cstdio>

namespace tarvel {

std::string fatalErrorText(const std::string& typeName, const std::string& moduleName,
                           std::uintptr_t location, const std::string& message) {
    char address[2 * sizeof(std::uintptr_t) + 1];
    std::snprintf(address, sizeof address, "%08llX", static_cast<unsigned long long>(location));
    std::string text = "Exception " + typeName + " in module " + moduleName + " at " + address + ".\r\n";
    text += message;
    if (!message.empty() && message.back() != '.') text += '.';
    text += "\r\n";
    return text;
}

}  // namespace tarvel
