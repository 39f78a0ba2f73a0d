// The per-user settings store: where the two settings files lie.
//
// The store is an INI file ($XDG_CONFIG_HOME/kestal/settings.ini, or
// ~/.config/kestal/settings.ini) whose section [Software\Kestal\SQLAccess]
// holds the values "Connection Registry File" and "Driver Registry File". A
// value written plainly (or in double quotes) is text; "str(2):" marks an
// expandable text, taken with its references unexpanded; "hex(1):"/"hex(2):"
// are texts written as UTF-16LE bytes. "dword:" with exactly eight hex
// digits, and "hex:" or "hex(N):" of another N with a byte list, are values
// that are not text. A byte list is comma-separated pairs of hex digits and
// may be continued on the next lines by a trailing backslash, as exported
// settings are written. Only a value whose whole form is typed counts as
// typed: anything else ("hex(2) copy/d.ini", "dword:1") is text as written.
// The program never writes the store.
#pragma once

#include <string>

namespace tarvel {

// Where the program looks for its settings; tests pass their own.
struct SettingsLocation {
    // Folder of the default settings files (the program's own folder).
    std::string executableDir;
    // The settings store file.
    std::string storeFile;

    // The running program's: the folder of /proc/self/exe, and the store
    // under XDG_CONFIG_HOME, else HOME, else the password database's home.
    static SettingsLocation ofProgram();
};

class SettingsStore {
public:
    explicit SettingsStore(SettingsLocation location) : m_location(std::move(location)) {}

    // The text of the value (empty when the store, its section or the value
    // is missing or unreadable). A value that is not text throws
    // "Invalid data type for '<valueName>'".
    std::string readText(const std::string& valueName) const;

    // The store's path for valueName, or executableDir + "/" + defaultFileName
    // when it gives none. Reads the store afresh at every call.
    std::string resolvePath(const std::string& valueName, const std::string& defaultFileName) const;

    const SettingsLocation& location() const { return m_location; }

    static constexpr const char* kSection = "Software\\Kestal\\SQLAccess";
    static constexpr const char* kConnectionFileValue = "Connection Registry File";
    static constexpr const char* kDriverFileValue = "Driver Registry File";

private:
    SettingsLocation m_location;
};

}  // namespace tarvel
