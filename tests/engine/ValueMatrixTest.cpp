// Every type against every kind of edge value, both ways and in both schema modes: each cell
// ends with the target holding a value equal to the source's under the target server's own
// comparison, or with its row refused and reported. Anything else fails with the cell named.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/rows/RowBatch.h"
#include "engine/send/TransferRun.h"
#include "support/TestDatabases.h"

namespace {

using korvanta::Side;

// A declared SQLite type, and whether its driver reads its columns as bytes (then the simple
// mode's text column takes bytes as their hex digits).
struct SqliteType {
    const char* declared;
    bool driverBinary;
};

// SQLite's declared types, one of each rule of its type affinity and each name the type
// table reads apart.
constexpr SqliteType kSqliteTypes[] = {
    {"INTEGER", false},
    {"SMALLINT", false},
    {"INT4", false},
    {"BIGINT", false},
    {"NUMERIC", false},
    {"DECIMAL(10,2)", false},
    {"NUMERIC(5,3)", false},
    {"REAL", false},
    {"DOUBLE", false},
    {"FLOAT", false},
    {"CHAR(3)", false},
    {"VARCHAR(5)", false},
    {"TEXT", false},
    {"CLOB", false},
    {"BLOB", true},
    {"BLOB SUB_TYPE TEXT", true},
    {"DATE", false},
    {"TIME", false},
    {"TIMESTAMP", false},
    {"DATETIME", false},
    {"TIMESTAMP WITH TIME ZONE", false},
    {"BOOLEAN", false},
    {"UUID", false},
    {"", false},
    {"JSON", false},
};

// Values of each of SQLite's five storage classes, as SQLite literals: the column's affinity
// may turn some into another class, which is what a file of that declaration holds.
constexpr const char* kSqliteValues[] = {
    // integers
    "0",
    "-1",
    "1",
    "70000",
    "9223372036854775807",
    "-9223372036854775808",
    // doubles
    "0.1",
    "0.5",
    "19.999",
    "1.0/7",
    "0.1 + 0.2",
    "-0.0",
    "1e308",
    "5e-324",
    "9e999",
    "-9e999",
    // texts
    "''",
    "'abc'",
    "'ab        '",
    "'19.999'",
    "'1.50'",
    "'NaN'",
    "'-Infinity'",
    "'-0'",
    "'2024-02-29'",
    "'2023-02-29'",
    "'2024-02-29 13:45:00'",
    "'2024-02-29 24:00:00'",
    "'13:45:00.123456'",
    "'24:00:00'",
    "'2024-01-05 13:45:00+05:30:15'",
    "'0044-03-15 BC'",
    "'t'",
    "'yes'",
    "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'",
    "'\xc3\xa9t\xc3\xa9'",
    "'a' || char(0) || 'b'",
    "CAST(X'C328' AS TEXT)",
    "'X''41'''",
    "'0.142857142857143'",
    "replace(hex(zeroblob(524288)), '0', 'a')",
    // bytes
    "X''",
    "X'00FF'",
    "X'41'",
    // nothing
    "NULL",
};

// SQLite's driver gives a text only up to its first NUL: such a value lands cut, and only a
// verification, which reads the source's bytes again by a statement of its own, can find
// it (reading every text so in a send costs a twentieth of the reading).
constexpr const char* kCutByDriver = "'a' || char(0) || 'b'";

// The type a PostgreSQL column's values compare as, so that a change shows: no narrower
// than the value sent (a date as a timestamp, a timestamp as an instant in UTC).
std::string ComparedAs(const std::string& type) {
    const auto starts = [&](const char* prefix) { return type.rfind(prefix, 0) == 0; };
    if (starts("smallint") || starts("integer") || starts("bigint") || starts("numeric"))
        return "numeric";
    if (starts("real") || starts("double") || starts("bytea") || starts("boolean") ||
        starts("uuid"))
        return type.substr(0, type.find('('));
    if (starts("character("))
        return "bpchar";
    if (starts("date"))
        return "timestamp";
    if (starts("timestamp"))
        return "timestamptz";
    if (starts("time"))
        return type.find("with time zone") != std::string::npos ? "timetz" : "time";
    return "text";
}

constexpr const char* kSameFunction = R"SQL(
CREATE OR REPLACE FUNCTION kv_matrix_same(t text, kind text, h text, q text, base text)
RETURNS boolean LANGUAGE plpgsql AS $$
DECLARE s text; b text := base; r boolean;
BEGIN
  IF kind = 'null' THEN RETURN t IS NULL; END IF;
  IF t IS NULL THEN RETURN false; END IF;
  IF b = 'bytea' AND kind = 'real' THEN
    t := convert_from(decode(substr(t, 3), 'hex'), 'UTF8');
    s := q; b := 'double precision';
  ELSIF b = 'bytea' THEN s := '\x' || h;
  ELSIF kind = 'blob' THEN s := lower(h);
  ELSIF kind = 'real' THEN
    -- A double compares as the double it is, whatever text the column holds of it.
    s := CASE q WHEN 'Inf' THEN 'Infinity' WHEN '-Inf' THEN '-Infinity' ELSE q END;
    b := 'double precision';
  ELSE s := convert_from(decode(h, 'hex'), 'UTF8');
  END IF;
  EXECUTE format('SELECT $1::%s IS NOT DISTINCT FROM $2::%s', b, b) INTO r USING t, s;
  RETURN r;
EXCEPTION WHEN others THEN RETURN false;
END $$;
)SQL";

// The send's refused rows, by table and source row.
class Refusals final : public korvanta::TransferListener {
  public:
    bool AskOverwrite(const std::string&) override { return true; }
    void Failed(int, const adodb::Error& error, const std::string&) override {
        std::lock_guard lock(mutex_);
        reports.push_back(error.what());
    }
    void RowRefused(const korvanta::RefusedRow& row) override {
        std::lock_guard lock(mutex_);
        rows[row.table].insert(row.sourceRow);
    }
    void TableFinished(const korvanta::TableOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcomes[outcome.source] = outcome;
    }
    std::map<std::string, std::set<long long>> rows;
    std::map<std::string, korvanta::TableOutcome> outcomes;
    std::vector<std::string> reports;

  private:
    std::mutex mutex_;
};

// What went wrong with a cell that neither landed equal nor was refused and reported.
std::string CellFault(bool there, bool same) {
    return there ? (same ? "landed, but reported" : "landed changed") : "missing, not reported";
}

// Every cell either landed equal or was refused and reported: the failures, one a line.
void ExpectEveryCellRight(const std::vector<std::string>& failures, long long cells) {
    std::string all;
    for (const std::string& failure : failures)
        all += failure + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures of " << cells << " cells:\n"
                                  << all;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = line.find('|', from)) != std::string::npos; from = at + 1)
        parts.push_back(line.substr(from, at - from));
    parts.push_back(line.substr(from));
    return parts;
}

// One table per SQLite type, one row per value; each sent in both modes.
TEST(ValueMatrix, SqliteValuesLandEqualOrAreRefused) {
    const std::string prefix = testdb::uniqueName("vm");
    std::vector<std::string> tables;
    std::string script;
    for (std::size_t i = 0; i < std::size(kSqliteTypes); ++i) {
        const std::string t = prefix + "_" + std::to_string(i);
        tables.push_back(t);
        script +=
            "CREATE TABLE " + t + "(id INTEGER PRIMARY KEY, v " + kSqliteTypes[i].declared + ");";
        for (std::size_t r = 0; r < std::size(kSqliteValues); ++r)
            script += "INSERT INTO " + t + " VALUES (" + std::to_string(r + 1) + ", " +
                      kSqliteValues[r] + ");";
    }
    testdb::sqlite(script);
    testdb::psql(kSameFunction);
    int cells = 0, refused = 0;
    std::vector<std::string> failures;
    for (const bool exact : {false, true}) {
        korvanta::SendRequest request;
        request.target = Side::PostgreSQL;
        request.tables = tables;
        request.values = testdb::connectionValues();
        request.settings.exactSchema = exact;
        request.settings.verify = true;
        if (exact)
            request.targetTables = tables;  // the simple mode's, each replaced
        Refusals listener;
        korvanta::SendTables(request, listener);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::string& t = tables[i];
            const std::string cellType =
                std::string(exact ? "exact" : "simple") + " " + kSqliteTypes[i].declared;
            const std::vector<std::string> type = testdb::psql(
                "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '" + t +
                "'::regclass AND attname = 'v'");
            ASSERT_EQ(type.size(), 1u) << cellType;
            const std::string base = ComparedAs(type[0]);
            const std::vector<std::string> source = testdb::sqlite(
                "SELECT id, typeof(v), CASE typeof(v) WHEN 'real' THEN quote(v) END, "
                "hex(CAST(v AS BLOB)) FROM " +
                t + " ORDER BY id");
            std::string values;
            for (const std::string& line : source) {
                const std::vector<std::string> p = Split(line);
                values += std::string(values.empty() ? "" : ", ") + "(" + p[0] + ", '" + p[1] +
                          "', '" + p[3] + "', '" + p[2] + "')";
            }
            const std::vector<std::string> landed = testdb::psql(
                "SET TimeZone = 'UTC'; SELECT s.id, s.kind, t.id IS NOT NULL, "
                "kv_matrix_same(t.v::text, s.kind, s.h, s.q, '" +
                base + "') FROM (VALUES " + values + ") AS s(id, kind, h, q) LEFT JOIN " +
                testdb::quoted(t) + " t ON t.id = s.id ORDER BY s.id");
            ASSERT_EQ(landed.size(), std::size(kSqliteValues)) << cellType;
            const std::set<long long>& refusedRows = listener.rows[t];
            for (const std::string& line : landed) {
                const std::vector<std::string> p = Split(line);
                const long long id = std::stoll(p[0]);
                const bool there = p[2] == "t", same = p[3] == "t";
                const bool reported = refusedRows.count(id) > 0;
                // Bytes go only where bytes are kept: a bytea, or the simple mode's hex text
                // for a column its driver reads as bytes.
                const bool bytesTaken = base == "bytea" || (!exact && kSqliteTypes[i].driverBinary);
                const bool cut = std::string(kSqliteValues[id - 1]) == kCutByDriver;
                const korvanta::TableOutcome& outcome = listener.outcomes[t];
                const bool found = outcome.verified == false &&
                                   outcome.verifyDifference.find("source's row " + p[0] + " (") !=
                                       std::string::npos;
                const bool fine =
                    there ? (same || (cut && found)) && !reported && (p[1] != "blob" || bytesTaken)
                          : reported;
                ++cells;
                refused += reported ? 1 : 0;
                if (!fine)
                    failures.push_back(cellType + " (" + type[0] + ") value " +
                                       kSqliteValues[id - 1] + " [" + p[1] +
                                       "]: " + CellFault(there, same));
            }
        }
    }
    ExpectEveryCellRight(failures, cells);
    RecordProperty("cells", cells);
    RecordProperty("refused", refused);
    std::cout << cells << " cells, " << refused << " refused and reported\n";
}

}  // namespace

namespace {

// PostgreSQL's types, each a table; the values each takes of the list below are its cells.
constexpr const char* kPostgreSQLTypes[] = {
    "smallint",      "integer",       "bigint",      "numeric",
    "numeric(10,2)", "numeric(5,-2)", "real",        "double precision",
    "char(3)",       "varchar(5)",    "text",        "bytea",
    "date",          "time",          "time(0)",     "timetz",
    "timestamp",     "timestamp(0)",  "timestamptz", "boolean",
    "uuid",          "json",          "interval",    "money",
};

// Edge values as PostgreSQL reads them: a type takes those it can hold (minimum, maximum,
// one past the scale, blanks past the length, the empty text, NaN, the infinities, -0, BC
// dates, 24:00, 29 February, zone offsets with seconds, a 1 MB text).
constexpr const char* kPostgreSQLValues[] = {
    "0",
    "-1",
    "32767",
    "-32768",
    "2147483647",
    "9223372036854775807",
    "-9223372036854775808",
    "0.1",
    "19.999",
    "1.50",
    "-0",
    "NaN",
    "Infinity",
    "-Infinity",
    "1e308",
    "5e-324",
    "0.142857142857142857142857",
    "12345678901234567890.123456789",
    "",
    "abc",
    "ab        ",
    "\xc3\xa9t\xc3\xa9",
    "2024-02-29",
    "0044-03-15 BC",
    "12345-01-01",
    "infinity",
    "2024-02-29 13:45:00.123456",
    "1500-06-01 12:00:00",
    "24:00:00",
    "13:45:00+05:30:15",
    "2024-01-05 13:45:00+05:30:15",
    "t",
    "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11",
    "{\"a\": 1}",
    "1 day 02:00",
    "\\x00ff",
    "$1,234.56",
};

// The statements that make one table per PostgreSQL type, a row for each value it takes
// (the others are no value of it) and a row of NULL first; `tables` gets their names.
std::string PostgreSQLTables(const std::string& prefix, std::vector<std::string>& tables) {
    std::string values;
    for (std::size_t r = 0; r < std::size(kPostgreSQLValues); ++r) {
        std::string quoted;
        for (const char* c = kPostgreSQLValues[r]; *c != '\0'; ++c)
            quoted += *c == '\'' ? std::string("''") : std::string(1, *c);
        values += std::string(values.empty() ? "" : ",") + "(" + std::to_string(r + 1) + ", '" +
                  quoted + "')";
    }
    values += ", (" + std::to_string(std::size(kPostgreSQLValues) + 1) + ", repeat('a', 1048576))";
    std::string script;
    for (std::size_t i = 0; i < std::size(kPostgreSQLTypes); ++i) {
        const std::string t = prefix + "_" + std::to_string(i);
        tables.push_back(t);
        script += "CREATE TABLE " + t + "(id integer PRIMARY KEY, v " + kPostgreSQLTypes[i] +
                  "); INSERT INTO " + t + " VALUES (0, NULL); DO $body$ DECLARE r record; BEGIN " +
                  "FOR r IN SELECT * FROM (VALUES " + values + ") AS s(id, v) LOOP BEGIN INSERT " +
                  "INTO " + t + " VALUES (r.id, r.v::" + kPostgreSQLTypes[i] +
                  "); EXCEPTION WHEN others THEN END; END LOOP; END $body$;";
    }
    return script;
}

// The text a send carries of a PostgreSQL value of the type: money as its number, a truth
// value as 1 or 0, bytes as their hex digits.
std::string Carried(const std::string& type) {
    return type == "bytea"     ? "encode(v, 'hex')"
           : type == "money"   ? "v::numeric"
           : type == "boolean" ? "v::int"
                               : "v";
}

// One PostgreSQL table per type, a row for each value it takes; each sent to the SQLite data
// source in both modes, where each value must equal the source's text of it (or its bytes)
// under SQLite's own comparison, or be refused and reported.
TEST(ValueMatrix, PostgreSQLValuesLandEqualOrAreRefused) {
    const std::string prefix = testdb::uniqueName("vmp");
    std::vector<std::string> tables;
    const std::string script = PostgreSQLTables(prefix, tables);
    testdb::psql(script);
    int cells = 0, refused = 0;
    std::vector<std::string> failures;
    for (const bool exact : {false, true}) {
        korvanta::SendRequest request;
        request.target = Side::SqlAnywhere;
        request.tables = tables;
        request.values = testdb::connectionValues();
        request.settings.exactSchema = exact;
        request.settings.verify = true;
        if (exact)
            request.targetTables = tables;
        Refusals listener;
        korvanta::SendTables(request, listener);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::string& t = tables[i];
            const std::string cellType =
                std::string(exact ? "exact " : "simple ") + kPostgreSQLTypes[i];
            // The source's own text of each value (as COPY gives it), its bytes for bytea.
            const std::vector<std::string> source =
                testdb::psql("SELECT id, v IS NULL, " + Carried(kPostgreSQLTypes[i]) + " FROM " +
                             t + " ORDER BY id");
            const std::vector<std::string> declared =
                testdb::sqlite("SELECT type FROM pragma_table_xinfo('" + t + "') WHERE name = 'v'");
            ASSERT_EQ(declared.size(), 1u) << cellType;
            const bool blob = declared[0].find("BLOB") != std::string::npos;
            std::string expected;
            for (const std::string& line : source) {
                const std::vector<std::string> p = Split(line);
                std::string literal = "NULL";
                if (p[1] == "f") {
                    std::string text = line.substr(p[0].size() + p[1].size() + 2);
                    std::string quoted;
                    for (const char c : text)
                        quoted += c == '\'' ? "''" : std::string(1, c);
                    literal = blob ? "X'" + quoted + "'" : "'" + quoted + "'";
                }
                expected +=
                    std::string(expected.empty() ? "" : ", ") + "(" + p[0] + ", " + literal + ")";
            }
            const std::vector<std::string> landed =
                testdb::sqlite("WITH s(id, e) AS (VALUES " + expected +
                               ") SELECT s.id, t.id IS NOT NULL, t.v IS s.e FROM s LEFT JOIN " +
                               testdb::quoted(t) + " t ON t.id = s.id ORDER BY s.id");
            ASSERT_EQ(landed.size(), source.size()) << cellType;
            const korvanta::TableOutcome& outcome = listener.outcomes[t];
            const std::set<long long>& refusedRows = listener.rows[t];
            long long place = 0;
            for (const std::string& line : landed) {
                ++place;  // rows are read in the order of the key
                const std::vector<std::string> p = Split(line);
                const bool there = p[1] == "1", same = p[2] == "1";
                const bool reported = refusedRows.count(place) > 0;
                const bool fine = there ? same && !reported : reported;
                ++cells;
                refused += reported ? 1 : 0;
                if (!fine) {
                    const long long id = std::stoll(p[0]);
                    const std::string value =
                        id == 0 ? "NULL"
                        : id > static_cast<long long>(std::size(kPostgreSQLValues))
                            ? "1 MB text"
                            : kPostgreSQLValues[id - 1];
                    failures.push_back(cellType + " (" + declared[0] + ") value '" + value +
                                       "': " + CellFault(there, same));
                }
            }
            if (outcome.verified == false)
                failures.push_back(cellType +
                                   ": the verification failed: " + outcome.verifyDifference);
        }
    }
    ExpectEveryCellRight(failures, cells);
    RecordProperty("cells", cells);
    std::cout << cells << " cells, " << refused << " refused and reported\n";
}

}  // namespace

namespace {

// A value changed between its reading and its writing (a misread) lands as written, and the
// verification, which reads the source again by a statement of its own, finds it: the
// table fails, naming the row of each side with both values.
TEST(ValueMatrix, TheVerificationFindsAMisread) {
    for (const Side target : {Side::PostgreSQL, Side::SqlAnywhere}) {
        const std::string t = testdb::uniqueName("vm_misread");
        const std::string create = "CREATE TABLE " + t +
                                   "(id integer PRIMARY KEY, v text); INSERT INTO " + t +
                                   " VALUES (1, 'one'), (2, 'two'), (3, 'three');";
        if (target == Side::PostgreSQL)
            testdb::sqlite(create);
        else
            testdb::psql(create);
        korvanta::SendRequest request;
        request.target = target;
        request.tables = {t};
        request.values = testdb::connectionValues();
        request.settings.verify = true;
        request.settings.exactSchema = true;
        request.readHook = [](korvanta::RowBatch& batch) {
            if (batch.Rows() > 0)
                batch.ReplaceLast(1, "thre3");
        };
        Refusals listener;
        korvanta::SendTables(request, listener);
        const korvanta::TableOutcome& outcome = listener.outcomes[t];
        SCOPED_TRACE(target == Side::PostgreSQL ? "to PostgreSQL" : "to SQLite");
        EXPECT_EQ(outcome.landed, 3);
        ASSERT_EQ(outcome.verified, std::optional<bool>(false));
        EXPECT_NE(outcome.verifyDifference.find("column 2 (v)"), std::string::npos)
            << outcome.verifyDifference;
        EXPECT_NE(outcome.verifyDifference.find("the source's row 3 (\"id\" = '3', \"v\" = "
                                                "'three') is not on the target"),
                  std::string::npos)
            << outcome.verifyDifference;
        EXPECT_NE(outcome.verifyDifference.find("\"v\" = 'thre3') is not in the source"),
                  std::string::npos)
            << outcome.verifyDifference;
        // The same send without the misread verifies.
        request.readHook = nullptr;
        request.targetTables = {t};
        Refusals again;
        korvanta::SendTables(request, again);
        EXPECT_EQ(again.outcomes[t].verified, std::optional<bool>(true))
            << again.outcomes[t].verifyDifference;
    }
}

}  // namespace

namespace {

// PostgreSQL reached through its ODBC driver as the ODBC side's data source (its own
// database): each type's values sent to PostgreSQL in both modes, each equal under
// PostgreSQL's comparison or refused and reported. The driver would rewrite dates and GUIDs
// (infinity as 0000-00-00): the data source's DBMS name gives PostgreSQL's dialect, which
// reads them as the server's own text.
TEST(ValueMatrix, PostgreSQLThroughItsOdbcDriverLandsEqualOrIsRefused) {
    const char* dsn = std::getenv("KV_PG_DSN");
    const char* database = std::getenv("KV_PG_ODBC_DATABASE");
    ASSERT_TRUE(dsn != nullptr && database != nullptr) << "scripts/dbenv defines them";
    const std::string prefix = testdb::uniqueName("vmo");
    std::vector<std::string> tables;
    testdb::psql(PostgreSQLTables(prefix, tables), database);
    testdb::psql(kSameFunction);
    korvanta::ConnectionValues values = testdb::connectionValues();
    values.dataSourceName = QString::fromUtf8(dsn);
    int cells = 0;
    std::vector<std::string> failures;
    for (const bool exact : {false, true}) {
        korvanta::SendRequest request;
        request.target = Side::PostgreSQL;
        request.tables = tables;
        request.values = values;
        request.settings.exactSchema = exact;
        request.settings.verify = true;
        if (exact)
            request.targetTables = tables;
        Refusals listener;
        korvanta::SendTables(request, listener);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const std::string& t = tables[i];
            const std::string type = kPostgreSQLTypes[i];
            const std::string cellType = std::string(exact ? "exact " : "simple ") + type;
            const std::vector<std::string> landedType = testdb::psql(
                "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '" + t +
                "'::regclass AND attname = 'v'");
            ASSERT_EQ(landedType.size(), 1u) << cellType;
            const std::string base = ComparedAs(landedType[0]);
            const std::string kind = type == "bytea" ? "blob" : "text";
            // concat() writes each value by its type's output, char(n) with its blanks.
            const std::string hex = type == "bytea" ? Carried(type)
                                                    : "encode(convert_to(concat(" + Carried(type) +
                                                          "), 'UTF8'), 'hex')";
            std::string rows;
            for (const std::string& line :
                 testdb::psql("SELECT id, CASE WHEN v IS NULL THEN "
                              "'null' ELSE '" +
                                  kind + "' END, " + hex + " FROM " + t + " ORDER BY id",
                              database)) {
                const std::vector<std::string> p = Split(line);
                rows += std::string(rows.empty() ? "" : ", ") + "(" + p[0] + ", '" + p[1] + "', '" +
                        (p[2] == "<null>" ? "" : p[2]) + "')";
            }
            const std::vector<std::string> landed = testdb::psql(
                "SET TimeZone = 'UTC'; SELECT s.id, t.id IS NOT NULL, kv_matrix_same(t.v::text, "
                "s.kind, s.h, NULL, '" +
                base + "') FROM (VALUES " + rows + ") AS s(id, kind, h) LEFT JOIN " +
                testdb::quoted(t) + " t ON t.id = s.id ORDER BY s.id");
            const korvanta::TableOutcome& outcome = listener.outcomes[t];
            const std::set<long long>& refusedRows = listener.rows[t];
            long long place = 0;
            for (const std::string& line : landed) {
                ++place;  // rows are read in the order of the key, the NULL row first
                const std::vector<std::string> p = Split(line);
                const bool there = p[1] == "t", same = p[2] == "t";
                const bool reported = refusedRows.count(place) > 0;
                ++cells;
                if (there ? !same || reported : !reported)
                    failures.push_back(cellType + " (" + landedType[0] + ") row " + p[0] + ": " +
                                       CellFault(there, same));
            }
            if (outcome.verified == false)
                failures.push_back(cellType +
                                   ": the verification failed: " + outcome.verifyDifference);
        }
    }
    ExpectEveryCellRight(failures, cells);
    std::cout << cells << " cells\n";
}

}  // namespace
