#pragma once

#include <QString>

namespace korvanta {

// Every message box and the input box of the program go through this interface,
// so that tests can answer them and read back what was shown.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A plain notice: the text, one OK button, no icon, the application title as caption.
    virtual void Notice(const QString& text) = 0;
    // The error report: OK button, warning icon, caption "Application Error".
    virtual void ErrorReport(const QString& text) = 0;
    // A question with Yes (the default) and No, no icon. True for Yes.
    virtual bool AskYesNo(const QString& text, const QString& caption) = 0;
    // An input box with OK and Cancel and the application title as caption: the text in
    // the box on OK, the empty text on Cancel.
    virtual QString InputBox(const QString& prompt, const QString& proposed) = 0;
};

}  // namespace korvanta
