#pragma once

#include "support/MessageBoxes.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Stands in for the message boxes: records every box shown and answers from a script
// (IDOK = 1 for plain boxes when the script is empty, AnswerNo for questions). While it lives it
// is the presenter of the process; it puts the previous one back when it goes.
class ScriptedPresenter : public MessagePresenter {
public:
    struct Shown {
        WindowHandle owner;
        std::string text;
        std::string caption;
        unsigned style;
    };

    ScriptedPresenter();
    ~ScriptedPresenter() override;
    ScriptedPresenter(const ScriptedPresenter&) = delete;
    ScriptedPresenter& operator=(const ScriptedPresenter&) = delete;

    int Present(WindowHandle owner, const char* text, const char* caption, unsigned style) override;

    // Answers for the next boxes, in order.
    void Answer(int answer);
    std::vector<Shown> TakeShown();
    std::vector<std::string> Texts() const;
    std::size_t Count() const;

    // Runs as each box appears, before it is answered: a test looks at the program then.
    std::function<void()> onPresent;

private:
    MessagePresenter* previous;
    mutable std::mutex mutex;
    std::deque<int> answers;
    std::vector<Shown> shown;
};
