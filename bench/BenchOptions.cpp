#include "BenchOptions.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace bench {

const std::vector<VariantInfo> kVariants = {
    {"program", "the program", Budget::Always, true},
    {"cli", "tarvel-rebuild (command line)", Budget::Always, true},
    {"d", "d: prepare per statement, tx per line", Budget::Always, false},
    {"e", "e: prepared once, tx per line", Budget::Always, false},
    {"g", "g: prepared once, commit per 1000", Budget::WhenDelayed, true},
    {"b", "b: 100 lines a block, commit per 1000", Budget::WhenDelayed, true},
    {"h", "h: b, each line in a handler", Budget::WhenDelayed, true},
    {"psql", "PSQL loop (EXECUTE BLOCK)", Budget::Never, true},
    {"set", "set-based statements", Budget::Never, false},
};

namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

std::vector<int> sizeList(const std::string& text) {
    std::vector<int> sizes;
    for (const std::string& size : splitList(text)) sizes.push_back(std::stoi(size));
    return sizes;
}

// "20ms" as 20; throws for anything else.
double millisecondsOf(const std::string& text, const std::string& key) {
    std::size_t used = 0;
    double value = -1;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || text.substr(used) != "ms" || !(value > 0))
        throw std::runtime_error("unknown configuration " + key);
    return value;
}

}  // namespace

Config configNamed(const std::string& key) {
    for (const char* access : {"embedded", "server"}) {
        for (const bool forcedWrites : {false, true}) {
            const std::string base = std::string(access) + (forcedWrites ? "-on" : "-off");
            const bool server = std::string(access) == "server";
            if (key == base) return {key, server, forcedWrites, 0};
            if (server && key.starts_with(base + "-"))
                return {key, true, forcedWrites, millisecondsOf(key.substr(base.size() + 1), key)};
        }
    }
    throw std::runtime_error("unknown configuration " + key);
}

const VariantInfo& variantNamed(const std::string& key) {
    for (const VariantInfo& variant : kVariants)
        if (variant.key == key) return variant;
    throw std::runtime_error("unknown variant " + key);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    bool delayedSizesGiven = false;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) throw std::runtime_error(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes") {
            options.sizes = sizeList(value(i));
        } else if (arg == "--delayed-sizes") {
            options.delayedSizes = sizeList(value(i));
            delayedSizesGiven = true;
        } else if (arg == "--size") {
            options.sizes = {std::stoi(value(i))};
        } else if (arg == "--budget") {
            options.budget = std::stod(value(i));
        } else if (arg == "--configs") {
            options.configs = splitList(value(i));
        } else if (arg == "--variants") {
            options.variants = splitList(value(i));
        } else if (arg == "--repeat") {
            options.repeat = std::max(1, std::stoi(value(i)));
        } else if (arg == "--template") {
            options.templateFile = value(i);
        } else if (arg == "--make-template") {
            options.makeTemplate = value(i);
        } else if (arg == "--work") {
            options.work = value(i);
        } else if (arg == "--load") {
            options.load = true;
        } else if (arg == "--child") {
            options.isChild = true;
            options.child.variant = value(i);
        } else if (arg == "--database") {
            options.child.database = value(i);
        } else if (arg == "--result") {
            options.child.resultFile = value(i);
        } else if (arg == "--child-budget") {
            options.child.budgetSeconds = std::stod(value(i));
        } else {
            throw std::runtime_error("unknown argument " + arg + " (see the head of bench/BenchMain.cpp)");
        }
    }
    if (!delayedSizesGiven) options.delayedSizes = options.sizes;
    for (const std::string& key : options.configs) configNamed(key);
    for (const std::string& key : options.variants) variantNamed(key);
    return options;
}

}  // namespace bench
