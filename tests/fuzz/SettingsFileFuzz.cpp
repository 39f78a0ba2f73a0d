// Fuzz target: the settings-file reader and the lookups made on what it reads.
// Any input must parse without a crash, and what comes out must keep the
// reader's rules (trimmed, no empty or comment lines, "name=value" joined).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ParameterList.h"
#include "SettingsFile.h"
#include "SettingsText.h"

namespace {
void require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    tarvel::SettingsFile file = tarvel::SettingsFile::parse(text);
    for (const auto& [name, lines] : file.sections()) {
        require(tarvel::trimmed(name) == name);
        require(name.find('\0') == std::string::npos);
        for (const std::string& line : lines) {
            require(!line.empty() && line.front() != ';');
            require(tarvel::trimmed(line) == line);
            std::size_t equals = line.find('=');
            if (equals != std::string::npos) {
                std::string_view key = std::string_view(line).substr(0, equals);
                require(tarvel::trimmed(key) == key);
                // The first line of a name is the one every lookup finds.
                tarvel::ParameterList section = file.section(name);
                std::string value = section.value(std::string(key));
                require(tarvel::trimmed(value) == value);
            }
            tarvel::parseInt32(line);
        }
        require(file.hasSection(name));
    }
    // Lookups of names built from the input itself.
    std::string probe(text.substr(0, text.find('\n')));
    file.section(probe).value(probe);
    return 0;
}
