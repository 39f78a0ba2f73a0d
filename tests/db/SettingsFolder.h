// A temporary folder that plays the program's folder and the settings store
// for one test: files written into it byte for byte.
#pragma once

#include <fstream>
#include <string>

#include "SettingsStore.h"
#include "TestDatabase.h"

namespace tarvel::testing {

class SettingsFolder {
public:
    const std::string& path() const { return m_dir.path(); }
    std::string file(const std::string& name) const { return m_dir.file(name); }

    // Writes bytes to the file `name` in the folder and returns its full path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string full = file(name);
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out << bytes;
        return full;
    }

    // The store file is "store.ini" in the folder, the program's folder the folder.
    SettingsLocation location() const { return SettingsLocation{path(), file("store.ini")}; }
    std::string writeStore(const std::string& body) const {
        return write("store.ini", "[Software\\Kestal\\SQLAccess]\n" + body);
    }

private:
    TempDir m_dir;
};

// Makes a UNIX socket at path: it exists, yet opening it for reading fails
// (ENXIO) even for root, which reads files whatever their permissions.
bool makeUnopenableFile(const std::string& path);

}  // namespace tarvel::testing
