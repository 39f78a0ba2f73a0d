#include "ParameterShape.h"

#include <algorithm>

#include "NameCompare.h"
#include "ParameterScan.h"

namespace tarvel {

namespace {

std::size_t firstNamed(const std::vector<std::string>& names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameNameIgnoringCase(names[i], name)) return i;
    }
    return ParameterShape::npos;
}

}  // namespace

ParameterShape::ParameterShape(std::string commandText, ByteCharset charset)
    : m_commandText(std::move(commandText)), m_names(scanParameterNames(m_commandText, charset)) {
    m_standIns.reserve(m_names.size());
    for (const std::string& name : m_names) m_standIns.push_back(firstNamed(m_names, name));
}

std::size_t ParameterShape::find(std::string_view name) {
    const auto known = std::find_if(m_lookups.begin(), m_lookups.end(),
                                    [&](const auto& lookup) { return lookup.first == name; });
    if (known != m_lookups.end()) return known->second;
    const std::size_t position = firstNamed(m_names, name);
    // Callers ask a handful of fixed names; a flood of others is not kept.
    if (m_lookups.size() < kMaxLookups) m_lookups.emplace_back(std::string(name), position);
    return position;
}

}  // namespace tarvel
