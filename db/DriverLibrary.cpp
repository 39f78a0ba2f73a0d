#include "DriverLibrary.h"

#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include "Error.h"
#include "ProgramFile.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

// Every driver library loaded in this process; they are never unloaded.
std::vector<void*>& loadedLibraries() {
    static std::vector<void*> libraries;
    return libraries;
}

}  // namespace

void DriverLibrary::shutDownAll(std::uint32_t timeoutMs) {
    for (void* handle : loadedLibraries()) {
        // The program is ending: a failure here has no one left to report to.
        if (auto shutdown = reinterpret_cast<SqlDriverShutdownFunc>(::dlsym(handle, "SqlDriverShutdown")))
            shutdown(timeoutMs);
    }
}

DriverLibrary DriverLibrary::load(const std::string& libraryName, const std::string& entryName) {
    std::string file = trimmed(libraryName);
    // dlopen of an empty name would hand back the program itself.
    void* handle = file.empty() ? nullptr : ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    // A bare name is meant to be found beside the program too (its run path is
    // $ORIGIN); the loader misses it there when an interposed dlopen, such as
    // a sanitizer's, makes the search on behalf of another object.
    if (!handle && !file.empty() && file.find('/') == std::string::npos) {
        std::string folder = programFolder();
        if (!folder.empty()) handle = ::dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) throw Error("Unable to Load " + libraryName);

    std::string symbol = trimmed(entryName);
    void* entry = symbol.empty() ? nullptr : ::dlsym(handle, symbol.c_str());
    if (!entry) throw Error("Unable to Find Procedure " + entryName);

    // A library built against another version of the driver interface would
    // misread every call; refuse it before calling anything in it.
    auto version = reinterpret_cast<SqlDriverVersionFunc>(::dlsym(handle, "SqlDriverInterfaceVersion"));
    if (!version) {
        throw Error("Unable to Load " + libraryName + ": it does not report its driver interface version");
    }
    std::uint32_t reported = version();
    if (reported != sqldriver::kInterfaceVersion) {
        throw Error("Unable to Load " + libraryName + ": driver interface version " +
                    std::to_string(reported) + ", expected " + std::to_string(sqldriver::kInterfaceVersion));
    }
    std::vector<void*>& loaded = loadedLibraries();
    if (std::find(loaded.begin(), loaded.end(), handle) == loaded.end()) loaded.push_back(handle);
    return DriverLibrary(reinterpret_cast<SqlDriverEntry>(entry));
}

}  // namespace tarvel
