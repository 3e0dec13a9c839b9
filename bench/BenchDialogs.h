#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

#include "app/Dialogs.h"

// Answers every question with Yes and prints whatever the program reports, so a run
// needs no one at the keyboard and no failure goes unseen.
class BenchDialogs final : public korvanta::Dialogs {
  public:
    void Notice(const QString& text) override {
        std::fprintf(stderr, "notice: %s\n", qPrintable(text));
    }
    void ErrorReport(const QString& text) override {
        ++reports;
        if (keep_) {
            kept.push_back(text);
        } else if (reports <= 5) {
            std::fprintf(stderr, "error report: %s\n", qPrintable(text));
        }
    }
    bool AskYesNo(const QString&, const QString&) override { return true; }
    QString InputBox(const QString&, const QString& proposed) override { return proposed; }

    // Keeps the reports from now on instead of printing them.
    void Keep(bool keep) { keep_ = keep; }

    int reports = 0;
    QStringList kept;

  private:
    bool keep_ = false;
};
