#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace testsupport {

void ScriptedDialogs::Record(Kind kind, const QString& text, const QString& detail) {
    calls_.push_back({kind, text, detail});
    if (onCall)
        onCall(calls_.back());
}

void ScriptedDialogs::Notice(const QString& text) {
    Record(Kind::Notice, text);
}

void ScriptedDialogs::ErrorReport(const QString& text) {
    Record(Kind::ErrorReport, text);
}

bool ScriptedDialogs::AskYesNo(const QString& text, const QString& caption) {
    Record(Kind::AskYesNo, text, caption);
    if (yesNoAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& proposed) {
    Record(Kind::InputBox, prompt, proposed);
    if (inputAnswers.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return QString();
    }
    QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

std::vector<QString> ScriptedDialogs::Texts(Kind kind) const {
    std::vector<QString> texts;
    for (const Call& call : calls_) {
        if (call.kind == kind)
            texts.push_back(call.text);
    }
    return texts;
}

}  // namespace testsupport
