#include "LinesPerCall.h"

#include "Error.h"
#include "SettingsText.h"

namespace tarvel {

std::size_t linesPerCallOf(const std::string& componentName, const std::string& value) {
    const std::string text = trimmed(value);
    if (text.empty()) return kDefaultLinesPerCall;
    const std::optional<std::int32_t> number = parseInt32(text);
    if (!number || *number < 1 || static_cast<std::size_t>(*number) > kMaxLinesPerCall)
        throw Error(componentName + ": " + kLinesPerCallKey + " must be a whole number from 1 to " +
                    std::to_string(kMaxLinesPerCall) + ", not '" + text + "'");
    return static_cast<std::size_t>(*number);
}

}  // namespace tarvel
