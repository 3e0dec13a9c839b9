#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adodb/Variant.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/model/ValueCheck.h"
#include "sql/statements/RowStatement.h"
#include "support/StatementBuilders.h"

using adodb::Variant;
using korvanta::LooksLikeNumber;
using korvanta::RowStatement;
using korvanta::Side;
using testdb::InsertStatement;

namespace {

const Variant kNull;

std::string ToPostgreSQL(const std::vector<bool>& numeric, const std::vector<Variant>& values,
                         const char* table = "customers") {
    return InsertStatement(Side::PostgreSQL, table, numeric, values);
}

std::string ToSybase(const std::vector<Variant>& values, const char* table = "customers") {
    return InsertStatement(Side::SqlAnywhere, table, std::vector<bool>(values.size(), false),
                           values);
}

TEST(RowStatement, CustomerRowInBothDirections) {
    const std::vector<Variant> row{Variant("7"), Variant("O'Brien"), kNull, Variant("12.5")};
    EXPECT_EQ(ToPostgreSQL({true, false, false, true}, row),
              R"(INSERT INTO "customers" VALUES(7, 'O''Brien', NULL, 12.5))");
    EXPECT_EQ(ToSybase(row), R"(INSERT INTO "customers" VALUES('7', 'O''Brien', NULL, '12.5'))");
}

TEST(RowStatement, NullsInBothDirections) {
    EXPECT_EQ(ToPostgreSQL({false, false}, {kNull, Variant("x")}),
              R"(INSERT INTO "customers" VALUES(NULL, 'x'))");
    EXPECT_EQ(ToSybase({kNull, Variant("x")}), R"(INSERT INTO "customers" VALUES(NULL, 'x'))");
    EXPECT_EQ(ToPostgreSQL({true, false}, {kNull, kNull}),
              R"(INSERT INTO "customers" VALUES(NULL, NULL))");
    EXPECT_EQ(ToSybase({kNull, kNull}), R"(INSERT INTO "customers" VALUES(NULL, NULL))");
    EXPECT_EQ(ToSybase({Variant("x"), kNull}), R"(INSERT INTO "customers" VALUES('x', NULL))");
}

TEST(RowStatement, EmptyTextStaysEmptyTextNotNull) {
    EXPECT_EQ(ToPostgreSQL({false, false}, {Variant(""), kNull}),
              R"(INSERT INTO "customers" VALUES('', NULL))");
    EXPECT_EQ(ToSybase({Variant(""), kNull}), R"(INSERT INTO "customers" VALUES('', NULL))");
    // An empty value of a numeric column is not a number: quoted, never a bare gap.
    EXPECT_EQ(ToPostgreSQL({true}, {Variant("")}), R"(INSERT INTO "customers" VALUES(''))");
}

TEST(RowStatement, OnlyNumericColumnsAreBareTowardsPostgreSQL) {
    // No numeric column: everything quoted, numbers too.
    EXPECT_EQ(ToPostgreSQL({false, false, false}, {Variant("1"), Variant("2.5"), Variant("x")}),
              R"(INSERT INTO "customers" VALUES('1', '2.5', 'x'))");
    // Only the first column is numeric.
    EXPECT_EQ(ToPostgreSQL({true, false, false}, {Variant("1"), Variant("2"), Variant("3")}),
              R"(INSERT INTO "customers" VALUES(1, '2', '3'))");
}

TEST(RowStatement, ValuesOfNumericColumnsThatAreNotNumbersAreQuoted) {
    EXPECT_EQ(ToPostgreSQL({true}, {Variant("1); DROP TABLE x; --")}),
              R"(INSERT INTO "customers" VALUES('1); DROP TABLE x; --'))");
    EXPECT_EQ(ToPostgreSQL({true}, {Variant("0 OR 'a'='a'")}),
              R"(INSERT INTO "customers" VALUES('0 OR ''a''=''a'''))");
    EXPECT_EQ(ToPostgreSQL({true, true}, {Variant("-12"), Variant("1.5e-3")}),
              R"(INSERT INTO "customers" VALUES(-12, 1.5e-3))");
}

TEST(RowStatement, LooksLikeNumber) {
    for (const char* number : {"0", "-7", "+7", "12.5", "12.", ".5", "-0.25", "1e10", "1E+10",
                               "2.5e-3", "9223372036854775807"}) {
        EXPECT_TRUE(LooksLikeNumber(number)) << number;
    }
    for (const char* other : {"", "-", "+", ".", "e5", "1e", "1e+", "1.2.3", "--1", "1-", " 1",
                              "1 ", "0x10", "NaN", "Infinity", "1,5", "1;", "12'"}) {
        EXPECT_FALSE(LooksLikeNumber(other)) << other;
    }
}

TEST(RowStatement, ApostrophesAreDoubledAndNothingElseChanges) {
    EXPECT_EQ(ToSybase({Variant("O'Brien's")}), R"(INSERT INTO "customers" VALUES('O''Brien''s'))");
    EXPECT_EQ(ToSybase({Variant("''")}), R"(INSERT INTO "customers" VALUES(''''''))");
    const std::string odd = "back\\slash\nline\r\ttab \"q\" ?{fn x} Grüße";
    EXPECT_EQ(ToPostgreSQL({false}, {Variant(odd)}),
              "INSERT INTO \"customers\" VALUES('" + odd + "')");
}

// Backslashes are written as each target reads them back: doubled where the DBMS reads
// escapes, in an escape string where PostgreSQL's standard_conforming_strings is off.
TEST(RowStatement, BackslashesFollowTheTargetsLiterals) {
    using korvanta::Dialect;
    const std::shared_ptr<const Dialect> standard = std::make_shared<korvanta::OdbcDialect>();
    const std::shared_ptr<const Dialect> sqlAnywhere =
        std::make_shared<korvanta::SqlAnywhereDialect>();
    // PostgreSQL as a server with standard_conforming_strings off makes it.
    const std::shared_ptr<const Dialect> escaping =
        korvanta::DialectOf(Side::PostgreSQL, "PostgreSQL")->WithSetting(" off ");
    struct Case {
        std::shared_ptr<const Dialect> dialect;
        const char* value;
        const char* written;
    } cases[] = {
        {standard, R"(C:\temp\new)", R"('C:\temp\new')"},
        {sqlAnywhere, R"(C:\temp\new)", R"('C:\\temp\\new')"},
        {sqlAnywhere, R"(it's \)", R"('it''s \\')"},
        {sqlAnywhere, "plain", "'plain'"},
        {escaping, R"(\)", R"(E'\\')"},
        {escaping, R"(\')", R"(E'\\''')"},
        {escaping, "); DROP TABLE x; --", "'); DROP TABLE x; --'"},
    };
    for (const Case& c : cases) {
        const std::vector<Variant> values{Variant(c.value)};
        EXPECT_EQ(testdb::InsertStatement(Side::SqlAnywhere, "t", {false}, values, c.dialect),
                  std::string("INSERT INTO \"t\" VALUES(") + c.written + ")")
            << c.value;
    }
}

// The values the target cannot hold: text that is not UTF-8, and a NUL towards PostgreSQL.
TEST(ValueCheck, TextTheTargetCannotHold) {
    const auto problem = [](std::string_view text, bool nulAllowed) {
        const auto found = korvanta::TextProblem(text, nulAllowed);
        return found ? found->message : std::string();
    };
    EXPECT_EQ(problem(std::string_view("a\0b", 3), false),
              "invalid byte sequence for encoding \"UTF8\": 0x00 0x62");
    EXPECT_EQ(problem(std::string_view("\0", 1), false),
              "invalid byte sequence for encoding \"UTF8\": 0x00");
    EXPECT_EQ(problem(std::string_view("a\0b", 3), true), "");
    EXPECT_EQ(problem("caf\xE9", true), "invalid byte sequence for encoding \"UTF8\": 0xe9");
    EXPECT_EQ(problem("\xE2\x82", false), "invalid byte sequence for encoding \"UTF8\": 0xe2 0x82");
    EXPECT_EQ(problem("Grüße \xEF\xBF\xBD", false), "");
    // Past whole words of ASCII, which are skipped eight bytes at a time.
    EXPECT_EQ(problem("abcdefghabcdefg\xE9", true),
              "invalid byte sequence for encoding \"UTF8\": 0xe9");
    EXPECT_EQ(problem("abcdefgh\xE9"
                      "bcdefgh",
                      true),
              "invalid byte sequence for encoding \"UTF8\": 0xe9 0x62");
    EXPECT_EQ(problem("abcdefghabcdefghGrüße", true), "");
    EXPECT_EQ(problem(std::string_view("abcdefgha\0cdefgh", 17), false),
              "invalid byte sequence for encoding \"UTF8\": 0x00 0x63");
    EXPECT_EQ(problem(std::string_view("abcdefgha\0cdefgh", 17), true), "");
    // Short values and tails are read as words that overlap: a bad byte at any place of any
    // length is found.
    for (std::size_t size = 1; size <= 20; ++size) {
        const std::string clean(size, 'x');
        EXPECT_EQ(problem(clean, false), "") << size;
        for (std::size_t at = 0; at < size; ++at) {
            for (const char bad : {'\0', '\xE9'}) {
                std::string text = clean;
                text[at] = bad;
                EXPECT_NE(problem(text, false), "") << size << " " << at;
            }
        }
    }
}

TEST(RowStatement, TableNameHoldingDoubleQuotesIsEscaped) {
    EXPECT_EQ(ToPostgreSQL({true}, {Variant("1")}, R"(my "t")"),
              R"(INSERT INTO "my ""t""" VALUES(1))");
    EXPECT_EQ(ToSybase({Variant("1")}, R"(my "t")"), R"(INSERT INTO "my ""t""" VALUES('1'))");
}

TEST(RowStatement, BufferIsReusedRowAfterRow) {
    const RowStatement row(Side::PostgreSQL, "t", {true, false},
                           std::make_shared<korvanta::PostgreSQLDialect>());
    std::string buffer;
    row.Begin(buffer);
    row.AddValue(buffer, 0, Variant("123456"));
    row.AddValue(buffer, 1, Variant(std::string(200, 'a')));
    row.End(buffer);
    const auto capacity = buffer.capacity();

    row.Begin(buffer);
    row.AddValue(buffer, 0, Variant("1"));
    row.AddValue(buffer, 1, kNull);
    row.End(buffer);
    EXPECT_EQ(buffer, R"(INSERT INTO "t" VALUES(1, NULL))");
    EXPECT_EQ(buffer.capacity(), capacity);
}

}  // namespace
