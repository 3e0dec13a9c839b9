#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

#include "app/Dialogs.h"

// Stands in for the message boxes and the input box: records what the program showed
// and answers questions from queues. An unexpected question fails the test.
class ScriptedDialogs final : public korvanta::Dialogs {
  public:
    struct Question {
        QString text;
        QString caption;
    };
    struct Prompt {
        QString prompt;
        QString proposed;
    };

    void Notice(const QString& text) override {
        notices_.push_back(text);
        log_.push_back("notice: " + text);
        Shown();
    }
    void ErrorReport(const QString& text) override {
        errorReports_.push_back(text);
        log_.push_back("error: " + text);
        Shown();
    }
    bool AskYesNo(const QString& text, const QString& caption) override;
    QString InputBox(const QString& prompt, const QString& proposed) override;

    // Queue the next answers.
    void AnswerYes() { yesNo_.push_back(true); }
    void AnswerNo() { yesNo_.push_back(false); }
    void AnswerInput(const QString& text) { inputs_.push_back(text); }  // "" is Cancel

    const QStringList& notices() const { return notices_; }
    const QStringList& errorReports() const { return errorReports_; }
    const std::vector<Question>& questions() const { return questions_; }
    const std::vector<Prompt>& prompts() const { return prompts_; }
    // Everything shown, in order, as "notice: ...", "error: ...", "ask: ...", "input: ...".
    const QStringList& log() const { return log_; }

    // Runs while each dialog is on screen (after it was recorded), so that a test can
    // look at the program's state at that moment.
    std::function<void()> whileShown;

  private:
    void Shown() {
        if (whileShown)
            whileShown();
    }

    QStringList notices_;
    QStringList errorReports_;
    std::vector<Question> questions_;
    std::vector<Prompt> prompts_;
    std::deque<bool> yesNo_;
    std::deque<QString> inputs_;
    QStringList log_;
};
