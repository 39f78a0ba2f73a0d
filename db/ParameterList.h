// An ordered list of Name=Value text lines, looked up by name without regard
// to letter case; the first match wins and an empty value counts as not given.
#pragma once

#include <string>
#include <vector>

namespace tarvel {

class ParameterList {
public:
    ParameterList() = default;
    explicit ParameterList(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    const std::vector<std::string>& lines() const { return m_lines; }
    void setLines(std::vector<std::string> lines) { m_lines = std::move(lines); }
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    void clear() { m_lines.clear(); }
    bool empty() const { return m_lines.empty(); }

    // The text after "name=" of the first line whose name matches; empty when none.
    std::string value(const std::string& name) const;
    // True when value(name) is not empty.
    bool given(const std::string& name) const { return !value(name).empty(); }
    // Drops every line of that name and adds "name=value" at the end.
    void set(const std::string& name, const std::string& value);

private:
    std::vector<std::string> m_lines;
};

}  // namespace tarvel
