#include "StatementShape.h"

#include <algorithm>

#include "NameCompare.h"
#include "ParameterScan.h"

namespace tarvel {

namespace {

std::size_t firstNamed(const std::vector<std::string>& names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameNameIgnoringCase(names[i], name)) return i;
    }
    return StatementShape::npos;
}

bool isWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool firstWordIsSelect(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    std::size_t end = begin;
    while (end < text.size() && isWordByte(text[end])) ++end;
    return sameNameIgnoringCase(text.substr(begin, end - begin), "SELECT");
}

StatementShape::StatementShape(std::string commandText, TextEncoding encoding)
    : m_commandText(std::move(commandText)), m_names(scanParameterNames(m_commandText, encoding)) {
    m_standIns.reserve(m_names.size());
    for (const std::string& name : m_names) m_standIns.push_back(firstNamed(m_names, name));
    m_startsWithSelect = firstWordIsSelect(m_commandText);
}

std::size_t StatementShape::find(std::string_view name) {
    const auto known = std::find_if(m_lookups.begin(), m_lookups.end(),
                                    [&](const auto& lookup) { return lookup.first == name; });
    if (known != m_lookups.end()) return known->second;
    const std::size_t position = firstNamed(m_names, name);
    // Callers ask a handful of fixed names; a flood of others is not kept.
    if (m_lookups.size() < kMaxLookups) m_lookups.emplace_back(std::string(name), position);
    return position;
}

}  // namespace tarvel
