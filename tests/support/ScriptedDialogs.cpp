#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

bool ScriptedDialogs::AskYesNo(const QString& text, const QString& caption) {
    questions_.push_back({text, caption});
    log_.push_back("ask: " + text);
    Shown();
    if (yesNo_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    bool answer = yesNo_.front();
    yesNo_.pop_front();
    return answer;
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& proposed) {
    prompts_.push_back({prompt, proposed});
    log_.push_back("input: " + prompt);
    Shown();
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return {};
    }
    QString answer = inputs_.front();
    inputs_.pop_front();
    return answer;
}
