#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "sql/model/Side.h"

namespace korvanta {

// "in Velcastra2021/08/31.<window>.<handler> ": where a trapped handler stands.
QString LocationText(const QString& window, const QString& handler);

// The location of the send handler towards `target`: PushButton3_Click of the table
// window towards PostgreSQL, PushButton4_Click towards SQL Anywhere.
QString SendLocationText(Side target);

// The text of the error report: the failure's description, CR LF, the location,
// "at line <n>", CR CR, the request for a screenshot and the support address; with a
// statement (the two transfer handlers) also CR CR "sql: " and the statement. The windows
// show it in a message box; the command line writes it to standard error.
QString ErrorReportText(const QString& description, const QString& location, int line,
                        const std::string* statement = nullptr);

// "Would you like to overwrite <table>?": asked before a table of the same name is dropped.
std::string OverwriteQuestion(std::string_view table);

// How far a table got when its copy stopped, for the report that closes it.
struct CopyCount {
    long long landed = 0;     // rows in the target
    long long counted = -1;   // rows the source held when counted; -1 unknown
    long long refused = 0;    // rows refused, each reported
    long long uncertain = 0;  // rows whose fate a lost connection hid
};
// "The copy of table "t" stopped: N of M rows arrived[, K were refused][, and whether U
// more did could not be learned]."
std::string StoppedText(std::string_view table, const CopyCount& count);
// "The copy of table "t" stopped as asked: N of M rows arrived."
std::string StoppedAsAskedText(std::string_view table, const CopyCount& count);

}  // namespace korvanta
