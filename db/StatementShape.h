// What a query needs to know of one command text before it runs it: the names
// of its parameter markers, the position whose parameter stands in for each
// (the first of its name), whether its first word is SELECT, and the answers
// to name lookups asked so far. A query that returns to a text it has seen
// takes all of this from here instead of scanning and comparing names, with
// locale-aware case folding, again for every line of every run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TextEncoding.h"

namespace tarvel {

// Whether the first word of the text (after blanks and control bytes) is the
// keyword SELECT, letter case ignored.
bool firstWordIsSelect(std::string_view text);

class StatementShape {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    StatementShape(std::string commandText, TextEncoding encoding);

    const std::string& commandText() const { return m_commandText; }
    const std::vector<std::string>& names() const { return m_names; }
    bool startsWithSelect() const { return m_startsWithSelect; }
    // Position (from 0) of the first parameter named as the one at `position`.
    std::size_t standIn(std::size_t position) const { return m_standIns[position]; }
    // Position of the first parameter of that name (letter case ignored), or npos.
    std::size_t find(std::string_view name);

private:
    static constexpr std::size_t kMaxLookups = 64;

    std::string m_commandText;
    std::vector<std::string> m_names;
    std::vector<std::size_t> m_standIns;
    bool m_startsWithSelect = false;
    std::vector<std::pair<std::string, std::size_t>> m_lookups;  // name as asked -> position
};

}  // namespace tarvel
