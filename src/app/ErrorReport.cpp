#include "app/ErrorReport.h"

#include "app/Contact.h"
#include "app/Dialogs.h"

namespace korvanta {

QString LocationText(const QString& window, const QString& handler) {
    return QStringLiteral("in Velcastra2021/08/31.") + window + '.' + handler + ' ';
}

QString ErrorReportText(const QString& description, const QString& location, int line,
                        const std::string* statement) {
    QString text = description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
                   QString::number(line) + QStringLiteral("\r\r") +
                   QStringLiteral("Please email screenshot of this message to ") +
                   QString::fromLatin1(contact::kSupportAddress);
    if (statement != nullptr) {
        text += QStringLiteral("\r\rsql: ") + QString::fromStdString(*statement);
    }
    return text;
}

void ShowErrorReport(Dialogs& dialogs, const QString& description, const QString& location,
                     int line, const std::string* statement) {
    dialogs.ErrorReport(ErrorReportText(description, location, line, statement));
}

}  // namespace korvanta
