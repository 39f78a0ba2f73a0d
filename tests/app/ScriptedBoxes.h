// A box presenter for tests: records every box asked for and answers from a
// script instead of showing a dialog.
#pragma once

#include <QList>
#include <QString>
#include <deque>

#include "BoxPresenter.h"

namespace tarvel::testing {

struct ShownBox {
    BoxKind kind;
    QString message;
};

class ScriptedBoxes : public BoxPresenter {
public:
    // Answers given in order; once used up, every box answers OK.
    std::deque<int> answers;
    QList<ShownBox> shown;

    int present(BoxKind kind, const QString& message) override {
        shown.append({kind, message});
        if (answers.empty()) return kResultOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace tarvel::testing
