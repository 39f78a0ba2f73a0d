// The settings files (the named-connection file and the driver settings file),
// read as bytes with no character conversion: sections of Name=Value lines.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ParameterList.h"

namespace tarvel {

class SettingsFile {
public:
    // Splits text into sections: lines end at CR LF, CR or LF and a NUL byte
    // ends the text; lines are trimmed; empty lines, lines beginning with ";"
    // and lines before the first section are skipped; "[name]" opens a
    // section; "name = value" is stored as "name=value".
    static SettingsFile parse(std::string_view text);

    // Reads and parses the file at path. A path where no file exists (also a
    // folder) reads as a file without sections; a file that exists but cannot
    // be read throws "Cannot open file "<path>". <reason>".
    static SettingsFile read(const std::string& path);

    // True when a regular file (not a folder) exists at path.
    static bool exists(const std::string& path);

    // The lines of the last section of that name (letter case ignored); empty
    // when there is none.
    ParameterList section(std::string_view name) const;
    bool hasSection(std::string_view name) const;

    // Sections in file order, duplicates included.
    const std::vector<std::pair<std::string, std::vector<std::string>>>& sections() const {
        return m_sections;
    }

private:
    std::vector<std::pair<std::string, std::vector<std::string>>> m_sections;
};

}  // namespace tarvel
