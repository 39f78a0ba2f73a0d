#include "ParameterList.h"

#include "SettingsText.h"

namespace tarvel {

namespace {

bool isLineOf(const std::string& line, const std::string& name) {
    const std::size_t equals = line.find('=');
    return equals != std::string::npos && equalsIgnoringCase(std::string_view(line).substr(0, equals), name);
}

}  // namespace

std::string ParameterList::value(const std::string& name) const {
    // A line without "=" has no name.
    for (const std::string& line : m_lines) {
        if (isLineOf(line, name)) return line.substr(line.find('=') + 1);
    }
    return {};
}

void ParameterList::set(const std::string& name, const std::string& value) {
    std::erase_if(m_lines, [&](const std::string& line) { return isLineOf(line, name); });
    m_lines.push_back(name + "=" + value);
}

}  // namespace tarvel
