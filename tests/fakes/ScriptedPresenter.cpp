#include "fakes/ScriptedPresenter.h"

ScriptedPresenter::ScriptedPresenter() : previous(CurrentMessagePresenter()) {
    SetMessagePresenter(this);
}

ScriptedPresenter::~ScriptedPresenter() {
    SetMessagePresenter(previous);
}

int ScriptedPresenter::Present(WindowHandle owner, const char* text, const char* caption,
                               unsigned style) {
    if (onPresent) {
        onPresent();
    }
    std::lock_guard<std::mutex> lock(mutex);
    shown.push_back({owner, text, caption, style});
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return style == MessageYesNo ? AnswerNo : 1;
}

void ScriptedPresenter::Answer(int answer) {
    std::lock_guard<std::mutex> lock(mutex);
    answers.push_back(answer);
}

std::vector<ScriptedPresenter::Shown> ScriptedPresenter::TakeShown() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Shown> taken;
    taken.swap(shown);
    return taken;
}

std::vector<std::string> ScriptedPresenter::Texts() const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> texts;
    for (const Shown& box : shown) {
        texts.push_back(box.text);
    }
    return texts;
}

std::size_t ScriptedPresenter::Count() const {
    std::lock_guard<std::mutex> lock(mutex);
    return shown.size();
}
