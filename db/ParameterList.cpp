#include "ParameterList.h"

#include "SettingsText.h"

namespace tarvel {

std::string ParameterList::value(const std::string& name) const {
    for (const std::string& line : m_lines) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;  // a line without "=" has no name
        if (equalsIgnoringCase(std::string_view(line).substr(0, equals), name))
            return line.substr(equals + 1);
    }
    return {};
}

}  // namespace tarvel
