// Each database's dialect, both ways: every type of the README's type table written as
// its declaration there, and read back from what that database's catalog says of it;
// every kind of default written and read; the one classifier of DBMS names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adodb/Enums.h"
#include "sql/dialect/OdbcDialect.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"

using namespace korvanta;

namespace {

std::string Word(TypeKind kind) {
    static const char* const kNames[] = {
        "smallint",  "integer",     "bigint",  "numeric", "real", "double",
        "char",      "varchar",     "text",    "binary",  "date", "time",
        "timestamp", "timestamptz", "boolean", "uuid",    "other"};
    return kNames[static_cast<int>(kind)];
}

std::string Described(const ColumnType& t) {
    std::string text = Word(t.kind);
    if (t.length >= 0)
        text += "(" + std::to_string(t.length) + ")";
    if (t.precision >= 0)
        text += "(" + std::to_string(t.precision) +
                (t.scale >= 0 ? "," + std::to_string(t.scale) : "") + ")";
    return text;
}

ColumnType Type(TypeKind kind, int length = -1, int precision = -1, int scale = -1) {
    ColumnType type;
    type.kind = kind;
    type.length = length;
    type.precision = precision;
    type.scale = scale;
    return type;
}

// A declaration, "~" after it when the dialect names what it does not keep.
std::string Declared(const Dialect& dialect, const ColumnType& type) {
    std::string notExact;
    const std::string declaration = dialect.Declaration(type, notExact);
    return declaration + (notExact.empty() ? "" : " ~");
}

// Every row of the type table, each way: the declaration each dialect writes, and what
// each database's catalog says of a column so declared, read back.
TEST(Dialect, EveryTypeEachWayInEachDialect) {
    struct Row {
        ColumnType type;
        const char* pg;
        const char* pgCatalog;  // format_type of the declared column
        const char* pgRead;
        const char* sa;
        const char* saDomain;  // SYS.SYSDOMAIN, with width 12 and scale 2
        const char* saRead;
        const char* lite;  // read back from itself
        const char* liteRead;
        const char* odbc;
    };
    using K = TypeKind;
    const Row rows[] = {
        {Type(K::kSmallInt), "smallint", "smallint", "smallint", "SMALLINT", "smallint", "smallint",
         "SMALLINT", "smallint", "SMALLINT"},
        {Type(K::kInteger), "integer", "integer", "integer", "INTEGER", "integer", "integer",
         "INT4", "integer", "INTEGER"},
        {Type(K::kBigInt), "bigint", "bigint", "bigint", "BIGINT", "bigint", "bigint", "BIGINT",
         "bigint", "BIGINT"},
        {Type(K::kNumeric, -1, 12, 2), "numeric(12,2)", "numeric(12,2)", "numeric(12,2)",
         "NUMERIC(12,2)", "numeric", "numeric(12,2)", "NUMERIC TEXT(12,2)", "numeric(12,2)",
         "NUMERIC(12,2)"},
        {Type(K::kNumeric), "numeric", "numeric", "numeric", "LONG VARCHAR ~", "long varchar",
         "text", "NUMERIC TEXT", "numeric", "NUMERIC ~"},
        {Type(K::kReal), "real", "real", "real", "REAL", "real", "real", "REAL TEXT", "real",
         "REAL"},
        {Type(K::kDouble), "double precision", "double precision", "double", "DOUBLE", "double",
         "double", "DOUBLE TEXT", "double", "DOUBLE PRECISION"},
        {Type(K::kChar, 5), "character(5)", "character(5)", "char(5)", "CHAR(5 CHAR)", "char",
         "varchar(12)", "CHAR(5)", "char(5)", "CHAR(5)"},
        {Type(K::kVarChar, 30), "varchar(30)", "character varying(30)", "varchar(30)",
         "VARCHAR(30 CHAR)", "varchar", "varchar(12)", "VARCHAR(30)", "varchar(30)", "VARCHAR(30)"},
        {Type(K::kVarChar, 9000), "varchar(9000)", "character varying(9000)", "varchar(9000)",
         "LONG VARCHAR", "long varchar", "text", "VARCHAR(9000)", "varchar(9000)", "VARCHAR(9000)"},
        {Type(K::kText), "text", "text", "text", "LONG VARCHAR", "long varchar", "text", "TEXT",
         "text", "CLOB"},
        {Type(K::kBinary), "bytea", "bytea", "binary", "LONG BINARY", "long binary", "binary",
         "BLOB", "binary", "BLOB"},
        {Type(K::kDate), "date", "date", "date", "DATE", "date", "date", "DATE", "date", "DATE"},
        {Type(K::kTime, -1, 3), "time(3)", "time(3) without time zone", "time(3)", "TIME", "time",
         "time", "TIME(3)", "time(3)", "TIME(3)"},
        {Type(K::kTimestamp, -1, 3), "timestamp(3)", "timestamp(3) without time zone",
         "timestamp(3)", "TIMESTAMP", "timestamp", "timestamp", "TIMESTAMP(3)", "timestamp(3)",
         "TIMESTAMP(3)"},
        {Type(K::kTimestampTz), "timestamp with time zone", "timestamp with time zone",
         "timestamptz", "TIMESTAMP WITH TIME ZONE", "timestamp with time zone", "timestamptz",
         "TIMESTAMP WITH TIME ZONE", "timestamptz", "TIMESTAMP WITH TIME ZONE"},
        {Type(K::kTimestampTz, -1, 3), "timestamp(3) with time zone", "timestamp(3) with time zone",
         "timestamptz(3)", "TIMESTAMP WITH TIME ZONE", "timestamp with time zone", "timestamptz",
         "TIMESTAMP WITH TIME ZONE(3)", "timestamptz(3)", "TIMESTAMP(3) WITH TIME ZONE"},
        {Type(K::kBoolean), "boolean", "boolean", "boolean", "BIT", "bit", "boolean", "BOOLEAN",
         "boolean", "BOOLEAN"},
        {Type(K::kUuid), "uuid", "uuid", "uuid", "UNIQUEIDENTIFIER", "uniqueidentifier", "uuid",
         "UUID", "uuid", "CHAR(36) ~"},
        {Type(K::kOther), "text ~", "jsonb", "other", "LONG VARCHAR ~", "xml", "other", "TEXT ~",
         "text", "CLOB ~"},
    };
    const PostgreSQLDialect pg;
    const SqlAnywhereDialect sa;
    const SqliteDialect lite;
    const OdbcDialect odbc;
    for (const Row& r : rows) {
        const std::string kind = Described(r.type);
        EXPECT_EQ(Declared(pg, r.type), r.pg) << kind;
        EXPECT_EQ(Described(PostgreSQLDialect::ReadType(r.pgCatalog)), r.pgRead) << r.pgCatalog;
        EXPECT_EQ(Declared(sa, r.type), r.sa) << kind;
        EXPECT_EQ(Described(SqlAnywhereDialect::ReadType(r.saDomain, 12, 2)), r.saRead)
            << r.saDomain;
        EXPECT_EQ(Declared(lite, r.type), r.lite) << kind;
        std::string declared = r.lite;
        declared = declared.substr(0, declared.find(" ~"));
        EXPECT_EQ(Described(SqliteDialect::ReadType(declared)), r.liteRead) << declared;
        EXPECT_EQ(Declared(odbc, r.type), r.odbc) << kind;
    }
}

// Types only a database's own catalog writes, read into the model.
TEST(Dialect, CatalogTypeNamesOfEachDatabase) {
    EXPECT_EQ(Described(PostgreSQLDialect::ReadType("integer[]")), "other");
    EXPECT_EQ(Described(PostgreSQLDialect::ReadType("character varying")), "varchar");
    EXPECT_EQ(Described(SqliteDialect::ReadType("INTEGER")), "bigint");
    EXPECT_EQ(Described(SqliteDialect::ReadType("int(5)")), "bigint");
    EXPECT_EQ(Described(SqliteDialect::ReadType("DECIMAL(10,3)")), "numeric(10,3)");
    EXPECT_EQ(Described(SqliteDialect::ReadType("REAL")), "double");
    EXPECT_EQ(Described(SqliteDialect::ReadType("NVARCHAR(40)")), "varchar(40)");
    EXPECT_EQ(Described(SqliteDialect::ReadType("")), "text");
    EXPECT_EQ(Described(SqliteDialect::ReadType("DATETIME")), "timestamp");
    EXPECT_EQ(Described(SqliteDialect::ReadType("UNSIGNED INTEGER")), "bigint");
    EXPECT_EQ(Described(SqlAnywhereDialect::ReadType("tinyint", 1, 0)), "smallint");
    EXPECT_EQ(Described(SqlAnywhereDialect::ReadType("unsigned int", 4, 0)), "bigint");
    EXPECT_EQ(Described(SqlAnywhereDialect::ReadType("unsigned bigint", 8, 0)), "numeric(20,0)");
    EXPECT_EQ(Described(SqlAnywhereDialect::ReadType("money", 19, 4)), "numeric(19,4)");
    EXPECT_EQ(Described(OdbcDialect::ReadType(adodb::adVarWChar, "NVARCHAR", 40)), "varchar(40)");
    EXPECT_EQ(Described(OdbcDialect::ReadType(adodb::adVarWChar, "NVARCHAR")), "text");
    EXPECT_EQ(Described(OdbcDialect::ReadType(adodb::adNumeric, "DECIMAL", 10, 3)),
              "numeric(10,3)");
    EXPECT_EQ(Described(OdbcDialect::ReadType(adodb::adUnsignedBigInt, "UBIGINT")), "numeric");
}

// Every kind of default, read from each catalog's text and written in each dialect.
TEST(Dialect, EveryDefaultEachWayInEachDialect) {
    using K = ColumnDefault::Kind;
    struct Read {
        const char* source;  // "pg", "lite", "sa", "odbc"
        const char* text;
        K kind;
        const char* literal;
        bool identity;
    };
    const Read reads[] = {
        {"pg", "'n/a'::text", K::kLiteral, "n/a", false},
        {"pg", "'it''s'::character varying", K::kLiteral, "it's", false},
        {"pg", "'-1'::integer", K::kLiteral, "-1", false},
        {"pg", "true", K::kLiteral, "true", false},
        {"pg", "now()", K::kCurrentTimestamp, "", false},
        {"pg", "CURRENT_DATE", K::kCurrentDate, "", false},
        {"pg", "LOCALTIME", K::kCurrentTime, "", false},
        {"pg", "nextval('t_id_seq'::regclass)", K::kNone, "", true},
        {"pg", "gen_random_uuid()", K::kExpression, "", false},
        // PostgreSQL before 10 kept CURRENT_DATE so: read at every insert.
        {"pg", "('now'::text)::date", K::kCurrentDate, "", false},
        {"pg", "('now'::text)::timestamp without time zone", K::kCurrentTimestamp, "", false},
        {"pg", "('today'::text)::date", K::kCurrentDate, "", false},
        {"pg", "('tomorrow'::text)::date", K::kOther, "", false},
        {"pg", "'now'::text", K::kLiteral, "now", false},
        {"pg", "CURRENT_TIMESTAMP(3)", K::kCurrentTimestamp, "", false},
        {"pg", "LOCALTIMESTAMP(0)", K::kCurrentTimestamp, "", false},
        {"pg", "clock_timestamp()", K::kCurrentTimestamp, "", false},
        {"pg", "(lower('X'::text) || 'y'::text)", K::kExpression, "", false},
        {"pg", "CURRENT_USER", K::kExpression, "", false},
        {"lite", "'n/a'", K::kLiteral, "n/a", false},
        {"lite", "0", K::kLiteral, "0", false},
        {"lite", "CURRENT_TIMESTAMP", K::kCurrentTimestamp, "", false},
        {"lite", "NULL", K::kNone, "", false},
        {"lite", "(1 + 1)", K::kExpression, "", false},
        {"lite", "(datetime('now','localtime'))", K::kCurrentTimestamp, "", false},
        {"lite", "date ( 'now', 'localtime' )", K::kCurrentDate, "", false},
        {"pg", "((CURRENT_TIMESTAMP AT TIME ZONE 'UTC'::text))::date", K::kCurrentDate, "", false},
        {"sa", "current utc timestamp", K::kCurrentTimestamp, "", false},
        {"lite", "(\"other\" + 1)", K::kOther, "", false},
        {"lite", "\"\"", K::kLiteral, "", false},  // a word in quotes is a string there
        {"lite", "\"a\"\"b\"", K::kLiteral, "a\"b", false},
        {"lite", "\"a\" || \"b\"", K::kOther, "", false},  // two words: an expression
        {"sa", "autoincrement", K::kNone, "", true},
        {"sa", "global autoincrement(1000)", K::kNone, "", true},
        {"sa", "current timestamp", K::kCurrentTimestamp, "", false},
        {"sa", "'x'", K::kLiteral, "x", false},
        {"sa", "'a\\\\b\\n'", K::kLiteral, "a\\b\n", false},
        {"odbc", "'x'::text", K::kLiteral, "x", false},
        {"odbc", "CURRENT_DATE", K::kCurrentDate, "", false},
    };
    for (const Read& r : reads) {
        bool identity = false;
        const std::string source = r.source;
        const ColumnDefault d = source == "pg" ? PostgreSQLDialect::ReadDefault(r.text, identity)
                                : source == "lite" ? SqliteDialect::ReadDefault(r.text)
                                : source == "sa" ? SqlAnywhereDialect::ReadDefault(r.text, identity)
                                                 : OdbcDialect::ReadDefault(r.text);
        EXPECT_EQ(d.kind, r.kind) << r.text;
        EXPECT_EQ(d.literal, r.literal) << r.text;
        EXPECT_EQ(identity, r.identity) << r.text;
    }

    struct Write {
        ColumnType type;
        ColumnDefault value;
        const char *pg, *sa, *lite, *odbc;
    };
    using T = TypeKind;
    const auto literal = [](const char* text, bool isString) {
        ColumnDefault d;
        d.kind = K::kLiteral;
        d.literal = d.text = text;
        d.isString = isString;
        return d;
    };
    const auto special = [](K kind, int precision = -1, bool utc = false) {
        ColumnDefault d;
        d.kind = kind;
        d.precision = precision;
        d.utc = utc;
        return d;
    };
    const auto expression = [](const char* text) {
        std::string why;
        ColumnDefault d;
        d.kind = K::kExpression;
        d.expression = ParseExpression(text, {}, why);
        return d;
    };
    const Write writes[] = {
        {Type(T::kText), literal("it's", true), "'it''s'", "'it''s'", "'it''s'", "'it''s'"},
        {Type(T::kText), literal("a\\b", true), "'a\\b'", "'a\\\\b'", "'a\\b'", "'a\\b'"},
        {Type(T::kText), literal("a;\nb", true), "E'a;\\nb'", "'a;\\nb'",
         "('a;' || char(10) || 'b')", "'a;\nb'"},
        {Type(T::kInteger), literal("-1", false), "-1", "-1", "-1", "-1"},
        {Type(T::kBoolean), literal("t", false), "true", "1", "1", "TRUE"},
        {Type(T::kBoolean), literal("false", false), "false", "0", "0", "FALSE"},
        // Local clocks (SQLite's own are in UTC), and clocks in UTC (SQLite's).
        {Type(T::kDate), special(K::kCurrentDate), "CURRENT_DATE", "CURRENT DATE",
         "(date('now', 'localtime'))", "CURRENT_DATE"},
        {Type(T::kTime), special(K::kCurrentTime), "LOCALTIME", "CURRENT TIME",
         "(time('now', 'localtime'))", "CURRENT_TIME"},
        {Type(T::kTimestamp), special(K::kCurrentTimestamp), "LOCALTIMESTAMP", "CURRENT TIMESTAMP",
         "(datetime('now', 'localtime'))", "CURRENT_TIMESTAMP"},
        {Type(T::kTimestampTz), special(K::kCurrentTimestamp), "CURRENT_TIMESTAMP",
         "CURRENT TIMESTAMP", "(strftime('%Y-%m-%d %H:%M:%f+00:00', 'now'))", "CURRENT_TIMESTAMP"},
        {Type(T::kDate), special(K::kCurrentDate, -1, true),
         "CAST(CURRENT_TIMESTAMP AT TIME ZONE 'UTC' AS date)", "", "CURRENT_DATE", ""},
        {Type(T::kTimestamp), special(K::kCurrentTimestamp, -1, true),
         "(CURRENT_TIMESTAMP AT TIME ZONE 'UTC')", "CURRENT UTC TIMESTAMP", "CURRENT_TIMESTAMP",
         ""},
        {Type(T::kTimestampTz), special(K::kCurrentTimestamp, 3), "CURRENT_TIMESTAMP(3)",
         "CURRENT TIMESTAMP", "(strftime('%Y-%m-%d %H:%M:%f+00:00', 'now'))", "CURRENT_TIMESTAMP"},
        {Type(T::kText), special(K::kOther), "", "", "", ""},
        {Type(T::kInteger), expression("1 + 2 * 3"), "(1 + (2 * 3))", "(1 + (2 * 3))",
         "(1 + (2 * 3))", "(1 + (2 * 3))"},
        {Type(T::kText), expression("upper('a') || 'b'"), "(upper('a') || 'b')",
         "(upper('a') || 'b')", "(upper('a') || 'b')", "(upper('a') || 'b')"},
        {Type(T::kText), expression("current_user"), "", "", "", ""},
    };
    const PostgreSQLDialect pg;
    const SqlAnywhereDialect sa;
    const SqliteDialect lite;
    const OdbcDialect odbc;
    for (const Write& w : writes) {
        ColumnSchema column;
        column.type = w.type;
        column.defaultValue = w.value;
        const auto written = [&](const Dialect& dialect) {
            std::string why;
            const std::string text = dialect.Default(column, why);
            EXPECT_NE(text.empty(), why.empty()) << "a default not written says why";
            return text;
        };
        EXPECT_EQ(written(pg), w.pg) << w.value.literal;
        EXPECT_EQ(written(sa), w.sa) << w.value.literal;
        EXPECT_EQ(written(lite), w.lite) << w.value.literal;
        EXPECT_EQ(written(odbc), w.odbc) << w.value.literal;
    }
}

// Each database by every name its drivers give; anything else is the generic dialect.
TEST(Dialect, OneClassifierOfDbmsNames) {
    const struct {
        Side side;
        const char* dbms;
        const char* dialect;
    } cases[] = {
        {Side::PostgreSQL, "", "PostgreSQL"},
        {Side::SqlAnywhere, "SQL Anywhere", "SQL Anywhere"},
        {Side::SqlAnywhere, "Adaptive Server Anywhere", "SQL Anywhere"},
        {Side::SqlAnywhere, "SQLite", "SQLite"},
        {Side::SqlAnywhere, "Microsoft SQL Server", "ODBC"},
        {Side::SqlAnywhere, "", "ODBC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialectOf(c.side, c.dbms)->Name(), c.dialect) << c.dbms;
}

}  // namespace

namespace {

// What SQL Anywhere's documentation shows for values PostgreSQL writes otherwise: zone
// offsets with their minutes, an empty binary value as a cast.
TEST(Dialect, SqlAnywhereValueForms) {
    const SqlAnywhereDialect sa;
    const ValueRule zoned{ValueKind::kTimestampTz, 6};
    const struct {
        const char* text;
        ValueRule rule;
        const char* written;
    } rows[] = {
        {"2024-01-05 13:45:00+01", zoned, "2024-01-05 13:45:00+01:00"},
        {"2024-01-05 13:45:00.5-08", zoned, "2024-01-05 13:45:00.5-08:00"},
        {"2020-01-01 10:00:00+05:30", zoned, "2020-01-01 10:00:00+05:30"},
        {"1850-01-01 00:00:00+00:53:28", zoned, "1850-01-01 00:00:00+00:53:28"},  // refused there
        {"0044-03-15 00:00:00+00 BC", zoned, "0044-03-15 00:00:00+00 BC"},
        {"+01", {ValueKind::kText}, "+01"},
    };
    for (const auto& row : rows) {
        std::string scratch;
        EXPECT_EQ(sa.WrittenValue(row.text, row.rule, scratch), row.written) << row.text;
    }
    std::string empty, bytes;
    sa.AppendBinary(empty, "");
    sa.AppendBinary(bytes, "00ff");
    EXPECT_EQ(empty, "CAST('' AS LONG BINARY)");
    EXPECT_EQ(bytes, "0x00ff");
}

}  // namespace
