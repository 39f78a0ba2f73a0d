#include "CheckCodes.h"

#include <cstdio>

namespace tarvel {

const CheckCodeEntry& checkCodeEntry(CheckCode code) {
    for (const CheckCodeEntry& entry : kCheckCodes)
        if (entry.code == code) return entry;
    return kCheckCodes[0];
}

CheckCode worseOf(CheckCode first, CheckCode second) {
    // Rank: ready, then held, then unreachable, then not allowed: what an
    // open in this process needs of the file system is found before the
    // open, which then fails for that very reason; usage never comes from a
    // finding.
    const auto rank = [](CheckCode code) {
        switch (code) {
            case CheckCode::Ready:
                return 0;
            case CheckCode::Held:
                return 1;
            case CheckCode::Unreachable:
                return 2;
            case CheckCode::NotAllowed:
                return 3;
            case CheckCode::Usage:
                return 4;
        }
        return 4;
    };
    return rank(second) > rank(first) ? second : first;
}

std::string checkCodesUsage() {
    std::string text = "Exit codes of --check:\n";
    for (const CheckCodeEntry& entry : kCheckCodes) {
        char line[160];
        std::snprintf(line, sizeof line, "  %d %s\n", static_cast<int>(entry.code), entry.meaning);
        text += line;
    }
    return text;
}

}  // namespace tarvel
