// A window double for runs without a screen: answers the confirmation, keeps
// the progress bar within its range and records every box.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ResetShell.h"

namespace tarvel::testing {

class HeadlessShell : public ResetShell {
public:
    int answer = kYes;
    int index = 0;
    int maximum = 100;
    int position = 0;
    std::vector<std::string> questions;
    std::vector<std::string> informations;
    int positionChanges = 0;
    // Called with each new position, after it is set (a test's way into the
    // middle of a run).
    std::function<void(int)> onPosition;

    int confirm(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    int chosenIndex() override { return index; }
    void setProgressMax(int value) override {
        maximum = value;
        position = std::clamp(position, 0, std::max(maximum, 0));
    }
    void setProgressPosition(int value) override {
        position = std::clamp(value, 0, std::max(maximum, 0));
        ++positionChanges;
        if (onPosition) onPosition(position);
    }
    int progressPosition() override { return position; }
    void showInformation(const std::string& message) override { informations.push_back(message); }
};

}  // namespace tarvel::testing
