#include "app/MessageBoxDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace korvanta {

void MessageBoxDialogs::Notice(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.exec();
}

void MessageBoxDialogs::ErrorReport(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), text,
                    QMessageBox::Ok);
    box.exec();
}

bool MessageBoxDialogs::AskYesNo(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString MessageBoxDialogs::InputBox(const QString& prompt, const QString& proposed) {
    bool ok = false;
    QString answer = QInputDialog::getText(nullptr, QApplication::applicationDisplayName(), prompt,
                                           QLineEdit::Normal, proposed, &ok);
    return ok ? answer : QString();
}

}  // namespace korvanta
