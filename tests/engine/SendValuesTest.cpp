// Values arrive as the source holds them, in both directions, and the same rows and the
// same reports come out whether rows go in runs or one INSERT each (the settings key
// gives both in each test).
#include <QRegularExpression>

#include <algorithm>

#include "SendFixture.h"
#include "sql/DateTimeForms.h"

using korvanta::Side;
using testdb::psql;

namespace {

using Rows = std::vector<std::string>;

class TransferValues : public EngineSendTest {
  protected:
    // The source table copied, declared types and all, under a second name, so that it
    // can be sent once in runs and once row by row.
    static std::string Twin(const std::string& table, bool inPostgreSQL) {
        const std::string twin = table + "_rows";
        if (inPostgreSQL) {
            psql("CREATE TABLE " + Ident(twin) + " AS SELECT * FROM " + Ident(table));
            return twin;
        }
        std::string create =
            sqlite("SELECT sql FROM sqlite_master WHERE name = '" + table + "'").at(0);
        create.replace(create.find(Ident(table)), Ident(table).size(), Ident(twin));
        sqlite(create + "; INSERT INTO " + Ident(twin) + " SELECT * FROM " + Ident(table));
        return twin;
    }

    // Sends the entry with the given setting; returns its reports with the table's name
    // taken out, so that the reports of both ways can be compared.
    QStringList SendOne(Side target, const std::string& table, bool oneStatementPerRow) {
        settings.oneStatementPerRow = oneStatementPerRow;
        QStringList reports = Send(target, table);
        reports.replaceInStrings(QString::fromStdString(table), QStringLiteral("T"));
        return reports;
    }

    // Sends the table in runs and its twin row by row; both reports must be the same.
    QStringList SendBothWays(Side target, const std::string& table, const std::string& twin) {
        const QStringList inRuns = SendOne(target, table, false);
        const QStringList rowByRow = SendOne(target, twin, true);
        EXPECT_EQ(inRuns.join("\n---\n").toStdString(), rowByRow.join("\n---\n").toStdString());
        return inRuns;
    }
};

// Dates, times and timestamps as PostgreSQL writes them (infinity, BC, years past 9999,
// fractions, offsets), GUIDs in its letters, floats with every digit, money as a number,
// backslashes as they are, and a text of megabytes whose escapes make it shorter than it
// came (it goes to the driver where it was read, ended where its escapes left it).
TEST_F(TransferValues, PostgreSQLValuesArriveInSqlAnywhereAsTheServerWritesThem) {
    const std::string t = testdb::uniqueName("val_pg");
    psql("CREATE TABLE " + Ident(t) +
         "(id int4, d date, ts timestamp, tz timestamptz, t time, u uuid, f float8, m money,"
         " b bool, note text);"
         "INSERT INTO " +
         Ident(t) +
         " VALUES"
         "(1, 'infinity', 'infinity', '-infinity', '12:34:56.789',"
         " 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', 0.1::float8 + 0.2::float8, 12.5, true,"
         " E'C:\\\\temp\\\\new'),"
         "(2, '0044-03-15 BC', '0044-03-15 12:00:00 BC', '2020-01-01 10:00+05:30',"
         " '00:00:00.000001', NULL, 1e300, -1, false, E'{\"a\": \"\\\\x\"}'),"
         "(3, '12020-01-01', '12020-01-01 00:00:00', NULL, '24:00:00', NULL, '-Infinity', 0,"
         " NULL, ''),"
         "(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
         "(5, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
         " repeat('a' || chr(9) || 'b\\c' || chr(10) || 'd', 300000));");
    const std::string twin = Twin(t, true);

    EXPECT_TRUE(SendBothWays(Side::SqlAnywhere, t, twin).isEmpty());

    const Rows source = psql(
        "SELECT id, d::text, ts::text, tz::text, t::text, u::text, b::int,"
        " encode(convert_to(note, 'UTF8'), 'hex') FROM " +
        Ident(t) + " WHERE id < 5 ORDER BY id");
    ASSERT_EQ(source.size(), 4u);
    EXPECT_EQ(source[0],
              "1|infinity|infinity|-infinity|12:34:56.789|"
              "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11|1|433a5c74656d705c6e6577");
    for (const std::string& target : {t, twin}) {
        EXPECT_EQ(sqlite("SELECT id, d, ts, tz, t, u, b, CASE WHEN note IS NULL THEN '<null>'"
                         " ELSE lower(hex(note)) END FROM " +
                         Ident(target) + " WHERE id < 5 ORDER BY id"),
                  source)
            << target;
        EXPECT_EQ(sqlite("SELECT length(note), note = replace(hex(zeroblob(300000)), '00',"
                         " 'a' || char(9) || 'b\\c' || char(10) || 'd') FROM " +
                         Ident(target) + " WHERE id = 5"),
                  Rows{"2100000|1"})
            << target;
        // Every digit of the float, money as its number.
        EXPECT_EQ(sqlite("SELECT f = 0.1 + 0.2, m FROM " + Ident(target) + " WHERE id = 1"),
                  Rows{"1|12.5"});
    }
}

// SQLite's own text goes into PostgreSQL's TEXT columns ("0", "2024", a date without a
// time), a double with every digit; a value that a DATE, BOOL or NUMERIC column cannot take,
// or that a DATE column would change, costs its row, with a report, and the next rows go on.
TEST_F(TransferValues, SqlAnywhereValuesArriveAsStoredAndRefusedValuesAreReported) {
    const std::string t = testdb::uniqueName("val_sa");
    sqlite("CREATE TABLE " + Ident(t) +
           "(id INTEGER, stamp DATETIME, day DATE, ratio REAL, flag BOOL, note TEXT, data BLOB);"
           "INSERT INTO " +
           Ident(t) +
           " VALUES"
           "(1, '0', '2017-08-08', 0.1, 1, 'C:\\temp\\new', x'00ff'),"
           "(2, '2024', '2024-02-29', 1e300, 'yes', '', x''),"
           "(3, '2017-08-08', 'not a date', 2.5, 0, 'three', NULL),"
           "(4, '2017-08-08 10:00:00', '2020-01-01', 0.5, 'maybe', 'four', NULL),"
           "('bad', NULL, NULL, NULL, NULL, NULL, NULL),"
           "(6, NULL, NULL, NULL, NULL, NULL, NULL),"
           "(7, NULL, '20240105 134500', 0.5, NULL, 'seven', NULL),"
           "(8, NULL, 'epoch', 0.5, NULL, 'eight', NULL),"
           "(9, NULL, '2024-01-05 00:00:00', 1.0/7, 1, 'nine', NULL),"
           "(10, NULL, NULL, 9e999, NULL, 'ten', NULL),"
           "(11, NULL, NULL, -9e999, NULL, 'eleven', NULL);");
    const std::string twin = Twin(t, false);

    const QStringList reports = SendBothWays(Side::PostgreSQL, t, twin);

    ASSERT_EQ(reports.size(), 5) << reports.join("\n---\n").toStdString();
    const char* refused[] = {
        "VALUES(3, '2017-08-08', 'not a date', '2.5', '0', 'three', NULL)",
        "VALUES(4, '2017-08-08 10:00:00', '2020-01-01', '0.5', 'maybe', 'four', NULL)",
        "VALUES('bad', NULL, NULL, NULL, NULL, NULL, NULL)",
        "VALUES(7, NULL, '20240105 134500', '0.5', NULL, 'seven', NULL)",
        "VALUES(8, NULL, 'epoch', '0.5', NULL, 'eight', NULL)"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(reports[i].contains("PushButton3_Click at line 282\r\r"));
        EXPECT_TRUE(reports[i].endsWith(QStringLiteral("\r\rsql: INSERT INTO \"T\" ") + refused[i]))
            << reports[i].toStdString();
    }
    for (const std::string& target : {t, twin}) {
        EXPECT_EQ(psql("SELECT id, stamp, day, ratio, flag, note, data FROM " + Ident(target) +
                       " ORDER BY id"),
                  (Rows{"1|0|2017-08-08|0.1|t|C:\\temp\\new|00ff", "2|2024|2024-02-29|1.0e+300|t||",
                        "6|<null>|<null>|<null>|<null>|<null>|<null>",
                        "9|<null>|2024-01-05|0.14285714285714285|t|nine|<null>",
                        "10|<null>|<null>|Infinity|<null>|ten|<null>",
                        "11|<null>|<null>|-Infinity|<null>|eleven|<null>"}))
            << target;
    }
}

// Refused rows at the start, the end, in clusters and alone: the rows around them land,
// each refused row gives its own report, in row order, both ways alike.
TEST_F(TransferValues, RefusedRowsAnywhereCostOnlyThemselves) {
    const std::string t = testdb::uniqueName("val_refused");
    const int rows = 3000;
    const std::string refused = "1, 2, 3, 1500, 1501, 2000, 3000";
    sqlite("CREATE TABLE " + Ident(t) +
           "(n INTEGER, label TEXT);"
           "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
           std::to_string(rows) + ") INSERT INTO " + Ident(t) + " SELECT CASE WHEN i IN (" +
           refused +
           ") THEN 'bad ' || i ELSE i END, 'row ' || i"
           " FROM c;");
    const std::string twin = Twin(t, false);

    const QStringList reports = SendBothWays(Side::PostgreSQL, t, twin);

    QStringList refusedRows;
    for (const QString& report : reports) {
        const QRegularExpressionMatch match =
            QRegularExpression(R"(at line 282\r\r.*sql: INSERT INTO "T" VALUES\('bad (\d+)', )",
                               QRegularExpression::DotMatchesEverythingOption)
                .match(report);
        refusedRows << (match.hasMatch() ? match.captured(1) : report);
    }
    EXPECT_EQ(refusedRows.join(", ").toStdString(), refused);
    for (const std::string& target : {t, twin}) {
        EXPECT_EQ(
            psql("SELECT count(*), sum(n), bool_and(label = 'row ' || n) FROM " + Ident(target)),
            Rows{std::to_string(rows - 7) + "|" +
                 std::to_string(rows * (rows + 1) / 2 - (1 + 2 + 3 + 1500 + 1501 + 2000 + 3000)) +
                 "|t"})
            << target;
    }
}

// A PostgreSQL role with standard_conforming_strings off reads backslashes in '...': the
// values still arrive unchanged, and no value runs as SQL.
TEST_F(TransferValues, BackslashesArriveIntactWithoutStandardConformingStrings) {
    const std::string role = testdb::uniqueName("kv_scs_off");
    const std::string sentinel = testdb::uniqueName("val_sentinel");
    psql("CREATE ROLE " + role +
         " LOGIN PASSWORD 'scs';"
         "ALTER ROLE " +
         role +
         " SET standard_conforming_strings = off;"
         "GRANT CREATE ON SCHEMA public TO " +
         role +
         ";"
         "CREATE TABLE " +
         Ident(sentinel) + "(x int);");
    values.user = QString::fromStdString(role);
    values.password = QStringLiteral("scs");
    const std::string t = testdb::uniqueName("val_scs");
    sqlite("CREATE TABLE " + Ident(t) +
           "(id INTEGER, note TEXT);"
           "INSERT INTO " +
           Ident(t) + " VALUES(1, '\\'), (2, '\\'''), (3, '); DROP TABLE " + sentinel +
           "; --'), (4, 'C:\\temp\\new'), ('bad', 'x\\');");
    const std::string twin = Twin(t, false);

    const QStringList reports = SendBothWays(Side::PostgreSQL, t, twin);

    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].endsWith(R"(sql: INSERT INTO "T" VALUES('bad', E'x\\'))"))
        << reports[0].toStdString();
    const Rows expected = {"1|\\", "2|\\'", "3|); DROP TABLE " + sentinel + "; --",
                           "4|C:\\temp\\new"};
    EXPECT_EQ(psql("SELECT id, note FROM " + Ident(t) + " ORDER BY id"), expected);
    EXPECT_EQ(psql("SELECT id, note FROM " + Ident(twin) + " ORDER BY id"), expected);
    EXPECT_EQ(psql("SELECT count(*) FROM " + Ident(sentinel)), Rows{"0"});
    psql("DROP TABLE " + Ident(sentinel) + "; DROP OWNED BY " + role + "; DROP ROLE " + role + ";");
}

}  // namespace

namespace {

// Text PostgreSQL cannot hold exactly (bytes that are not UTF-8) is never mended on the
// way: its row is refused and reported alone, in runs and row by row alike. (The SQLite
// driver ends text at a NUL before handing it over, so a NUL cannot be shown from here.)
TEST_F(TransferValues, TextPostgreSQLCannotHoldIsRefusedNotChanged) {
    const std::string t = testdb::uniqueName("val_nul");
    sqlite("CREATE TABLE " + Ident(t) +
           "(id INTEGER, note TEXT);"
           "INSERT INTO " +
           Ident(t) +
           " VALUES(1, 'plain'), (2, CAST(X'61FF62' AS TEXT)), (3, CAST(X'C0' AS TEXT)),"
           " (4, 'fine'), (5, CAST(X'78E282' AS TEXT)), (6, CAST(X'636166E9' AS TEXT)),"
           " (7, 'last');");
    const std::string twin = Twin(t, false);

    const QStringList reports = SendBothWays(Side::PostgreSQL, t, twin);

    ASSERT_EQ(reports.size(), 4) << reports.join("\n---\n").toStdString();
    const char* ids[] = {"2, ", "3, ", "5, ", "6, "};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(reports[i].startsWith("invalid byte sequence for encoding \"UTF8\": 0x"))
            << reports[i].toStdString();
        EXPECT_TRUE(reports[i].contains(QStringLiteral("at line 282\r\r")));
        EXPECT_TRUE(reports[i].contains(QStringLiteral("VALUES(") + ids[i])) << ids[i];
    }
    for (const std::string& target : {t, twin}) {
        EXPECT_EQ(psql("SELECT id, note FROM " + Ident(target) + " ORDER BY id"),
                  (Rows{"1|plain", "4|fine", "7|last"}))
            << target;
    }
}

}  // namespace

namespace {

// The table of date and time forms is true of the server itself: each form that a column
// keeps, changes or refuses there is so in PostgreSQL 15. A change is seen by reading the
// value a second way (as a timestamp beside a date, with a zone beside without one); the
// session's zone is one no form names, so that a zone dropped shows.
TEST(DateTimeForms, TheServerTreatsEachFormAsTheTableSays) {
    std::string script =
        "SET TimeZone = 'Asia/Kathmandu'; SET DateStyle = 'ISO, MDY';"
        "CREATE FUNCTION pg_temp.relative(v text) RETURNS boolean LANGUAGE sql AS "
        "$$ SELECT lower(v) ~ '(now|today|tomorrow|yesterday|epoch|allballs)' $$;"
        "CREATE FUNCTION pg_temp.as_date(v text) RETURNS text LANGUAGE plpgsql AS $$ "
        "DECLARE d date; t timestamp; BEGIN "
        "BEGIN d := v::date; EXCEPTION WHEN others THEN RETURN 'R'; END; "
        "IF pg_temp.relative(v) THEN RETURN 'C'; END IF; "
        "t := v::timestamp; "
        "RETURN CASE WHEN t::time <> '00:00' OR t::date <> d THEN 'C' ELSE 'K' END; END $$;"
        "CREATE FUNCTION pg_temp.as_time(v text) RETURNS text LANGUAGE plpgsql AS $$ "
        "DECLARE x time; dated boolean := false; BEGIN "
        "BEGIN x := v::time; EXCEPTION WHEN others THEN RETURN 'R'; END; "
        "IF pg_temp.relative(v) THEN RETURN 'C'; END IF; "
        "BEGIN dated := v::timestamp::time = x; EXCEPTION WHEN others THEN NULL; END; "
        "IF dated OR v::timetz <> x::timetz THEN RETURN 'C'; END IF; RETURN 'K'; END $$;"
        "CREATE FUNCTION pg_temp.as_timestamp(v text) RETURNS text LANGUAGE plpgsql AS $$ "
        "DECLARE t timestamp; BEGIN "
        "BEGIN t := v::timestamp; EXCEPTION WHEN others THEN RETURN 'R'; END; "
        "IF pg_temp.relative(v) THEN RETURN 'C'; END IF; "
        "RETURN CASE WHEN isfinite(t) AND t <> (v::timestamptz AT TIME ZONE "
        "current_setting('TimeZone')) THEN 'C' ELSE 'K' END; END $$;";
    for (const datetimeforms::Form& form : datetimeforms::kForms) {
        const std::string literal = "'" + std::string(form.text) + "'";
        script += "SELECT pg_temp.as_date(" + literal + ") || pg_temp.as_time(" + literal +
                  ") || pg_temp.as_timestamp(" + literal + ");";
    }
    const std::vector<std::string> verdicts = testdb::psql(script);
    ASSERT_EQ(verdicts.size(), std::size(datetimeforms::kForms));
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        const datetimeforms::Form& form = datetimeforms::kForms[i];
        std::string expected = {form.date, form.time, form.timestamp};
        // What only the program sees (rounded digits, 24:00) reads as kept here.
        std::replace(expected.begin(), expected.end(), 'c', 'K');
        EXPECT_EQ(verdicts[i], expected) << form.text;
    }
}

}  // namespace
