#pragma once

#include <QString>

#include <string>

namespace korvanta {

class Dialogs;

// "in Velcastra2021/08/31.<window>.<handler> ": where a trapped handler stands.
QString LocationText(const QString& window, const QString& handler);

// The text of the error report: the failure's description, CR LF, the location,
// "at line <n>", CR CR, the request for a screenshot and the support address; with a
// statement (the two transfer handlers) also CR CR "sql: " and the statement.
QString ErrorReportText(const QString& description, const QString& location, int line,
                        const std::string* statement = nullptr);

// Builds the report and shows it; returns when the user has dismissed it.
void ShowErrorReport(Dialogs& dialogs, const QString& description, const QString& location,
                     int line, const std::string* statement = nullptr);

}  // namespace korvanta
