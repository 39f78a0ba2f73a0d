#include "ProgramFile.h"

#include <unistd.h>

#include <vector>

namespace tarvel {

std::string programFilePath() {
    // readlink does not say whether it cut the path short: a result that fills
    // the buffer is read again into a larger one.
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string programFolder() {
    const std::string path = programFilePath();
    if (path.empty()) return {};
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace tarvel
