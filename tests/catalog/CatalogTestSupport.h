#pragma once

#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

#include "app/OperationGuard.h"
#include "app/TableList.h"
#include "catalog/Form2.h"
#include "engine/connections/ConnectionValues.h"
#include "support/ScriptedDialogs.h"
#include "support/TestDatabases.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace catalogtest {

// The connection values of the test databases; a test may spoil one of them.
class TestConnection final : public korvanta::ConnectionSource {
  public:
    TestConnection() : values(testdb::connectionValues()) {}
    korvanta::ConnectionValues CurrentConnectionValues() const override { return values; }

    korvanta::ConnectionValues values;
};

// Connection values that reach no database, for tests that open none.
class NoConnection final : public korvanta::ConnectionSource {
  public:
    korvanta::ConnectionValues CurrentConnectionValues() const override { return {}; }
};

// A table window with scripted dialogs and a recorded ending; by default on the test
// databases.
template <class Connection = TestConnection>
struct Form2Harness {
    ScriptedDialogs dialogs;
    Connection connection;
    korvanta::OperationGuard guard;
    korvanta::Form2 form{dialogs, connection, guard};
    int programEnds = 0;

    Form2Harness() {
        form.SetProgramEnd([this] { ++programEnds; });
    }
};

inline QStringList Entries(const korvanta::TableList& list) {
    QStringList entries;
    for (int i = 0; i < list.Count(); ++i)
        entries << list.Text(i);
    return entries;
}

inline int IndexOf(const korvanta::TableList& list, const QString& name) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Text(i) == name)
            return i;
    }
    return -1;
}

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A PostgreSQL identifier in double quotes, for the independent psql checks.
inline std::string PgQuoted(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

inline bool PgTableExists(const std::string& name) {
    std::string literal;
    for (char c : name)
        literal += c == '\'' ? std::string("''") : std::string(1, c);
    return testdb::psql(
               "select count(*) from pg_tables where schemaname = 'public' and tablename = '" +
               literal + "';")
               .at(0) == "1";
}

inline std::vector<std::string> Sqlite(const std::string& sql) {
    return testdb::sqlite(sql);
}

inline bool SqliteTableExists(const std::string& name) {
    return Sqlite("select count(*) from sqlite_master where type = 'table' and name = '" + name +
                  "';")
               .at(0) == "1";
}

}  // namespace catalogtest
