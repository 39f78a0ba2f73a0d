#include "ProxyCounts.h"

#include <sstream>
#include <stdexcept>
#include <utility>

namespace bench {

namespace {

// Every field with its name in the report, in the report's order.
constexpr std::pair<const char*, std::int64_t ProxyCounts::*> kFields[] = {
    {"connections", &ProxyCounts::connections},       {"round_trips", &ProxyCounts::roundTrips},
    {"bytes_to_server", &ProxyCounts::bytesToServer}, {"bytes_to_client", &ProxyCounts::bytesToClient},
    {"client_resets", &ProxyCounts::clientResets},
};

}  // namespace

ProxyCounts ProxyCounts::since(const ProxyCounts& earlier) const {
    ProxyCounts difference;
    for (const auto& [name, field] : kFields) difference.*field = this->*field - earlier.*field;
    return difference;
}

std::string formatCounts(const ProxyCounts& counts) {
    std::string line = "counts";
    for (const auto& [name, field] : kFields)
        line += std::string(" ") + name + "=" + std::to_string(counts.*field);
    return line;
}

ProxyCounts parseCounts(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word != "counts") throw std::runtime_error("not a counts line: " + line);
    ProxyCounts counts;
    for (const auto& [name, field] : kFields) {
        const std::string prefix = std::string(name) + "=";
        if (!(in >> word) || word.compare(0, prefix.size(), prefix) != 0)
            throw std::runtime_error("counts line without " + prefix + ": " + line);
        std::size_t used = 0;
        counts.*field = std::stoll(word.substr(prefix.size()), &used);
        if (used != word.size() - prefix.size()) throw std::runtime_error("bad number in " + line);
    }
    return counts;
}

}  // namespace bench
