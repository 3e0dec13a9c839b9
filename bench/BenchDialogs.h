#pragma once

#include <QString>

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
        if (reports <= 5)
            std::fprintf(stderr, "error report: %s\n", qPrintable(text));
    }
    bool AskYesNo(const QString&, const QString&) override { return true; }
    QString InputBox(const QString&, const QString& proposed) override { return proposed; }

    int reports = 0;
};
