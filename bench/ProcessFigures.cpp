#include "ProcessFigures.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

namespace {

long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size(), field) == 0)
            return std::strtol(line.c_str() + field.size(), nullptr, 10);
    }
    return -1;
}

}  // namespace

long peakResidentKb() { return statusKb("VmHWM:"); }

long residentKb() { return statusKb("VmRSS:"); }

int openDescriptors() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(folder);
    // The listing itself holds one descriptor while it is read.
    return count - 1;
}

}  // namespace bench
