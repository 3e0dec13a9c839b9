#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <ostream>
#include <vector>

#include "app/Dialogs.h"

// Lets GoogleTest print QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

// A scripted stand-in for the program's message boxes and input box: it records every
// call with its texts and answers questions and input boxes from queues. A question or
// input box with no answer queued fails the test (and answers No / Cancel).
class ScriptedDialogs final : public korvanta::Dialogs {
  public:
    enum class Kind { Notice, ErrorReport, AskYesNo, InputBox };
    struct Call {
        Kind kind;
        QString text;    // the message, report or prompt
        QString detail;  // AskYesNo: the caption; InputBox: the proposed answer
    };

    void Notice(const QString& text) override;
    void ErrorReport(const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    QString InputBox(const QString& prompt, const QString& proposed) override;

    // Answers for the next questions and input boxes, in order.
    std::deque<bool> yesNoAnswers;
    std::deque<QString> inputAnswers;
    // Runs at every call after it was recorded, while the dialog would be on screen.
    std::function<void(const Call&)> onCall;

    const std::vector<Call>& Calls() const { return calls_; }
    // The texts of the calls of one kind, in order.
    std::vector<QString> Texts(Kind kind) const;
    std::vector<QString> Notices() const { return Texts(Kind::Notice); }
    std::vector<QString> ErrorReports() const { return Texts(Kind::ErrorReport); }
    void Clear() { calls_.clear(); }

  private:
    void Record(Kind kind, const QString& text, const QString& detail = QString());

    std::vector<Call> calls_;
};

}  // namespace testsupport
