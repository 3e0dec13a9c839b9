#include "app/MessageBoxDialogs.h"

#include <QInputDialog>
#include <QMessageBox>

#include "app/AppTitle.h"

namespace korvanta {

namespace {
// The texts break lines with CR LF or a lone CR; a Qt label shows "\r\r" as one break
// only, so every break becomes a line feed for display.
QString Displayed(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}
}  // namespace

void MessageBoxDialogs::Notice(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), Displayed(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // a "<" in a driver's text is no tag
    box.exec();
}

void MessageBoxDialogs::ErrorReport(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), Displayed(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // a "<" in a driver's text is no tag
    box.exec();
}

bool MessageBoxDialogs::AskYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString MessageBoxDialogs::InputBox(const QString& prompt, const QString& proposed) {
    bool ok = false;
    QString answer =
        QInputDialog::getText(nullptr, AppTitle(), prompt, QLineEdit::Normal, proposed, &ok);
    return ok ? answer : QString();
}

}  // namespace korvanta
