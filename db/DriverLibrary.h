// A loaded driver library and its entry function.
#pragma once

#include <string>

#include "SqlDriver.h"

namespace tarvel {

class DriverLibrary {
public:
    // Loads the library (a bare file name is searched as the dynamic loader
    // searches, then in the program's own folder) and finds its entry function; both names are trimmed first.
    // The texts name the settings as given: "Unable to Load <libraryName>"
    // when the library cannot be loaded or reports another driver interface
    // version, "Unable to Find Procedure <entryName>" when the entry function
    // is missing. The library stays loaded until the program ends: drivers
    // keep process-wide state, and objects they made may still be referenced.
    static DriverLibrary load(const std::string& libraryName, const std::string& entryName);

    // Lets every driver library loaded so far end its process-wide state
    // (those that export SqlDriverShutdown), each waiting at most timeoutMs.
    // Called once before the program exits, after every connection is closed.
    static void shutDownAll(std::uint32_t timeoutMs = kShutdownWaitMs);
    // Longest wait for a driver's client library to end at program end.
    static constexpr std::uint32_t kShutdownWaitMs = 5000;

    SqlDriverEntry entry() const { return m_entry; }

private:
    // The library's handle is not kept: nothing ever unloads it.
    explicit DriverLibrary(SqlDriverEntry entry) : m_entry(entry) {}

    SqlDriverEntry m_entry = nullptr;
};

}  // namespace tarvel
