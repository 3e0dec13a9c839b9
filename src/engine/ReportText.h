#pragma once

#include <QString>

#include <string>

#include "sql/Side.h"

namespace korvanta {

// "in Velcastra2021/08/31.<window>.<handler> ": where a trapped handler stands.
QString LocationText(const QString& window, const QString& handler);

// The text of the error report: the failure's description, CR LF, the location,
// "at line <n>", CR CR, the request for a screenshot and the support address; with a
// statement (the two transfer handlers) also CR CR "sql: " and the statement. The windows
// show it in a message box; the command line writes it to standard error.
// The location of the send handler towards `target`: PushButton3_Click of the table
// window towards PostgreSQL, PushButton4_Click towards SQL Anywhere.
QString SendLocationText(Side target);

QString ErrorReportText(const QString& description, const QString& location, int line,
                        const std::string* statement = nullptr);

}  // namespace korvanta
