// The window's part in a benchmarked rebuild: answers Yes, chooses the
// purchase history and keeps the bar within its range. It records nothing,
// so its cost and memory stay flat however many lines a run walks.
#pragma once

#include <algorithm>
#include <string>

#include "ResetShell.h"

namespace bench {

class BenchShell : public tarvel::ResetShell {
public:
    int maximum = 100;
    int position = 0;
    bool completed = false;

    int confirm(const std::string&) override { return kYes; }
    int chosenIndex() override { return 0; }
    void setProgressMax(int value) override {
        maximum = value;
        position = std::clamp(position, 0, std::max(maximum, 0));
    }
    void setProgressPosition(int value) override { position = std::clamp(value, 0, std::max(maximum, 0)); }
    int progressPosition() override { return position; }
    void showInformation(const std::string&) override { completed = true; }
};

}  // namespace bench
