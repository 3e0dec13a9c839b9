// Every type against every kind of edge value, both ways and in both schema modes: each cell
// ends with the target holding a value equal to the source's under the target server's own
// comparison, or with its row refused and reported. Anything else fails with the cell named.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

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
                const bool fine =
                    there ? same && !reported && (p[1] != "blob" || bytesTaken) : reported;
                ++cells;
                refused += reported ? 1 : 0;
                if (!fine)
                    failures.push_back(cellType + " (" + type[0] + ") value " +
                                       kSqliteValues[id - 1] + " [" + p[1] + "]: " +
                                       (there ? (same ? "landed, but reported" : "landed changed")
                                              : "missing, not reported"));
            }
        }
    }
    std::string all;
    for (const std::string& failure : failures)
        all += failure + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << cells << " cells:\n" << all;
    RecordProperty("cells", cells);
    RecordProperty("refused", refused);
    std::cout << cells << " cells, " << refused << " refused and reported\n";
}

}  // namespace
