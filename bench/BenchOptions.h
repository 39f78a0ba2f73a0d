// What the benchmark runs: its configurations (access, forced writes, added
// round trip), its variants and its command line (see BenchMain.cpp).
#pragma once

#include <string>
#include <vector>

#include "BenchChild.h"

namespace bench {

// "embedded-off", "embedded-on", "server-off", "server-on", and the server
// ones through the delay proxy: "server-off-20ms" adds a 20 ms round trip
// (any number of milliseconds, decimals allowed).
struct Config {
    std::string key;
    bool server = false;
    bool forcedWrites = false;
    double rttMs = 0;  // > 0: through the delay proxy

    bool delayed() const { return rttMs > 0; }
};

// Throws std::runtime_error for a key of no configuration.
Config configNamed(const std::string& key);

enum class Budget {
    Always,       // commits per line: slow enough to need the budget anywhere
    WhenDelayed,  // needs it only when every round trip is slowed down
    Never,        // a few statements: cannot be stopped part way
};

struct VariantInfo {
    std::string key;
    std::string title;
    Budget budget;
    bool repeated;  // run --repeat times, taking turns: the figures compared
};

extern const std::vector<VariantInfo> kVariants;
const VariantInfo& variantNamed(const std::string& key);

struct Options {
    std::vector<int> sizes = {10000, 100000};
    std::vector<int> delayedSizes;  // sizes of the delayed configurations (default: sizes)
    double budget = 15;
    std::vector<std::string> configs = {"embedded-off", "embedded-on", "server-off", "server-on"};
    std::vector<std::string> variants = {"program", "cli", "d", "e", "g", "b", "psql", "set"};
    int repeat = 3;
    std::string templateFile;
    std::string makeTemplate;
    std::string work;
    bool load = false;
    ChildRequest child;
    bool isChild = false;
};

// Throws std::runtime_error on a wrong argument.
Options parseOptions(int argc, char** argv);

}  // namespace bench
