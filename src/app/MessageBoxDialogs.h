#pragma once

#include "app/Dialogs.h"

namespace korvanta {

// The real dialogs: Qt message boxes and an input dialog, modal to the application.
class MessageBoxDialogs final : public Dialogs {
  public:
    void Notice(const QString& text) override;
    void ErrorReport(const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    QString InputBox(const QString& prompt, const QString& proposed) override;
};

}  // namespace korvanta
