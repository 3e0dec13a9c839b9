#include "engine/rows/TableRows.h"

#include "sql/model/SqlName.h"
#include "sql/dialect/StringLiterals.h"

namespace korvanta {

namespace {

bool Names(std::string_view dbmsName, std::string_view product) {
    std::string lower(dbmsName);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return lower.find(product) != std::string::npos;
}

// A PostgreSQL table's own rows: ONLY leaves out the rows of tables that inherit from it
// (each is a table of its own), but a partitioned table holds no rows but its partitions'.
std::string PostgreSQLFrom(adodb::Connection& connection, const std::string& quoted) {
    adodb::Recordset kind = connection.Execute(
        "SELECT c.relkind::text FROM pg_catalog.pg_class c WHERE c.oid = to_regclass(" +
        Literal(quoted, StringLiterals::kEscapeStringSyntax) + ")");
    const bool partitioned = !kind.IsEOF() && kind.Fields()[0].Value().Text() == "p";
    kind.Close();
    return partitioned ? quoted : "ONLY " + quoted;
}

}  // namespace

void TableRows::Open(adodb::Connection& connection, Side side, std::string_view dbmsName,
                     const std::string& table) {
    const std::string quoted = QuotedName(table);
    const bool postgreSQL = side == Side::PostgreSQL;
    const bool sqlite = !postgreSQL && Names(dbmsName, "sqlite");
    from_ = postgreSQL ? PostgreSQLFrom(connection, quoted) : quoted;
    statement_ = "SELECT * FROM " + from_;
    // psqlODBC and the SQLite driver give floating-point values as their own text (exact
    // from PostgreSQL; SQLite's is undone by its query below); other drivers hold the
    // number, and give it exactly as a number.
    connection.FloatsAsNumbers = !postgreSQL && !sqlite;
    records_.Open(statement_, connection, adodb::adOpenStatic, adodb::adLockOptimistic);
    const adodb::FieldList& list = records_.Fields();
    for (int j = 0; j < list.Count(); ++j)
        fields_.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
    const std::string exact = postgreSQL ? ServerTextQuery(from_, fields_)
                              : sqlite   ? SqliteExactQuery(from_, fields_, marked_)
                                         : std::string();
    if (exact.empty())
        return;
    records_.Close();
    statement_ = exact;
    records_.Open(statement_, connection);
}

std::string TableRows::CountStatement() const {
    return "SELECT count(*) FROM " + from_;
}

}  // namespace korvanta
