// What a target column keeps of a value and how its values compare: date/time texts as
// PostgreSQL reads them, numbers, booleans, identifiers, and doubles' exact texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "DateTimeForms.h"
#include "adodb/Enums.h"
#include "adodb/TextCodec.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/dialect/SqlAnywhereDialect.h"
#include "sql/dialect/SqliteDialect.h"
#include "sql/model/DateTimeInput.h"
#include "sql/model/ValueCheck.h"

namespace {

using korvanta::TemporalType;
using korvanta::ValueKind;
using korvanta::ValueRule;

// Every form of the table: a column that keeps the value lets it through; one that would
// change it refuses it with a reason. The database test checks the same table against the
// server itself.
TEST(DateTimeInput, EachFormIsRefusedExactlyWhereTheColumnWouldChangeIt) {
    for (const datetimeforms::Form& form : datetimeforms::kForms) {
        const std::pair<TemporalType, char> columns[] = {
            {TemporalType::kDate, form.date},
            {TemporalType::kTime, form.time},
            {TemporalType::kTimestamp, form.timestamp}};
        for (const auto& [type, verdict] : columns) {
            const std::optional<std::string> why = korvanta::TemporalChange(form.text, type, 6);
            if (verdict == 'K') {
                EXPECT_EQ(why, std::nullopt) << form.text << " as type " << int(type);
            } else if (verdict == 'C' || verdict == 'c') {
                EXPECT_TRUE(why) << form.text << " as type " << int(type);
            }
        }
    }
}

// The reasons name what would be lost, and the column's own precision counts.
TEST(DateTimeInput, ReasonsNameWhatTheColumnWouldDrop) {
    const auto why = [](const char* text, TemporalType type, int digits = 6) {
        return korvanta::TemporalChange(text, type, digits).value_or("");
    };
    EXPECT_NE(why("2024-01-05 134500", TemporalType::kDate).find("(13:45:00)"), std::string::npos);
    EXPECT_NE(why("J2451187.5", TemporalType::kDate).find("(12:00:00)"), std::string::npos);
    EXPECT_NE(why("epoch", TemporalType::kDate).find("1970-01-01"), std::string::npos);
    EXPECT_NE(why("tomorrow", TemporalType::kTimestamp).find("relative to the load"),
              std::string::npos);
    EXPECT_NE(why("2024-01-05 13:45+05:30", TemporalType::kTimestamp).find("(+05:30)"),
              std::string::npos);
    EXPECT_NE(why("2024-01-05 13:45:00.125", TemporalType::kTimestamp, 2).find("(2)"),
              std::string::npos);
    EXPECT_EQ(why("2024-01-05 13:45:00.120", TemporalType::kTimestamp, 2), "");
    EXPECT_EQ(why("2024-01-05 13:45:00+05:30", TemporalType::kTimestampTz), "");
}

TEST(ValueCheck, ARuleRefusesOnlyWhereTheDatabaseWouldChangeTheValue) {
    const korvanta::PostgreSQLDialect postgreSQL;
    const korvanta::SqlAnywhereDialect sqlAnywhere;
    const ValueRule date{ValueKind::kDate};
    EXPECT_TRUE(postgreSQL.Unstorable("2024-01-05 13:45", date));
    EXPECT_FALSE(sqlAnywhere.Unstorable("2024-01-05 13:45", date));
    EXPECT_FALSE(postgreSQL.Unstorable("2024-01-05 00:00:00", date));
    const ValueRule timestamp{ValueKind::kTimestamp, 3};
    EXPECT_FALSE(postgreSQL.Unstorable("2024-01-05 13:45:00.123", timestamp));
    EXPECT_TRUE(postgreSQL.Unstorable("2024-01-05 13:45:00.1234", timestamp));
    const ValueRule decimal{ValueKind::kDecimal};
    for (const char* zero : {"-0", "-0.000", "-0e5"}) {
        const auto why = sqlAnywhere.Unstorable(zero, decimal);
        ASSERT_TRUE(why) << zero;
        EXPECT_STREQ(why->state, "22003");
    }
    EXPECT_FALSE(sqlAnywhere.Unstorable("-0.5", decimal));
    EXPECT_FALSE(postgreSQL.Unstorable("-0", {ValueKind::kText}));
}

// Each value against its column's own domain: a column that would keep the value takes it;
// one that would round, cut or drop part of it refuses it (a value the database refuses
// itself, with its own message, is left to it: 'R' only where it would change silently).
TEST(ValueCheck, AColumnsDomainRefusesWhatTheDatabaseWouldChangeSilently) {
    const korvanta::PostgreSQLDialect postgreSQL;
    const korvanta::SqlAnywhereDialect sqlAnywhere;
    const auto decimal = [](int precision, int scale) {
        ValueRule rule{ValueKind::kDecimal};
        rule.precision = precision;
        rule.scale = scale;
        return rule;
    };
    const auto varchar = [](int length) {
        ValueRule rule{ValueKind::kText};
        rule.length = length;
        return rule;
    };
    struct Case {
        const korvanta::Dialect& dialect;
        ValueRule rule;
        const char* value;
        char verdict;  // 'K' kept, 'R' refused
    };
    const korvanta::SqliteDialect sqlite;
    ValueRule simpleNumber{ValueKind::kDecimal};
    simpleNumber.simpleColumn = true;
    const ValueRule date{ValueKind::kDate};
    const ValueRule stamp{ValueKind::kTimestamp, 6};
    const ValueRule zoned{ValueKind::kTimestampTz, 6};
    const Case cases[] = {
        {postgreSQL, decimal(10, 2), "19.99", 'K'},
        {postgreSQL, decimal(10, 2), "19.990000", 'K'},
        {postgreSQL, decimal(10, 2), "19.999", 'R'},
        {postgreSQL, decimal(10, 2), "1.9999e1", 'R'},
        {postgreSQL, decimal(10, 2), "1999e-2", 'K'},
        {postgreSQL, decimal(10, 0), "5.5", 'R'},
        {postgreSQL, decimal(10, 0), "5", 'K'},
        {postgreSQL, decimal(5, -2), "12300", 'K'},
        {postgreSQL, decimal(5, -2), "12345", 'R'},
        {postgreSQL, decimal(5, -2), "0", 'K'},
        {postgreSQL, decimal(5, 7), "0.0012345", 'K'},
        {postgreSQL, decimal(5, 7), "0.00123456", 'R'},
        {postgreSQL, decimal(-1, -1), "19.999999999", 'K'},
        {postgreSQL, decimal(10, 2), "NaN", 'K'},
        {sqlAnywhere, decimal(10, 2), "19.999", 'R'},
        {postgreSQL, varchar(5), "ab   ", 'K'},
        {postgreSQL, varchar(5), "ab        ", 'R'},
        {postgreSQL, varchar(5), "abcdef", 'K'},  // PostgreSQL refuses it itself
        {postgreSQL, varchar(2), "\xc3\xa9\xc3\xa9", 'K'},
        {postgreSQL, varchar(1), "\xc3\xa9 ", 'R'},
        {postgreSQL, varchar(-1), "ab        ", 'K'},
        {sqlAnywhere, varchar(5), "ab        ", 'K'},
        {sqlAnywhere, date, "2024-02-29", 'K'},
        {sqlAnywhere, date, "0001-01-01", 'K'},
        {sqlAnywhere, date, "0044-03-15 BC", 'R'},
        {sqlAnywhere, date, "12345-01-01", 'R'},
        {sqlAnywhere, date, "infinity", 'R'},
        {sqlAnywhere, stamp, "-infinity", 'R'},
        {sqlAnywhere, stamp, "1500-06-01 00:00:00", 'K'},
        {sqlAnywhere, stamp, "1500-06-01 12:00:00", 'R'},
        {sqlAnywhere, stamp, "1600-02-27 00:00:00.5", 'R'},
        {sqlAnywhere, stamp, "1600-02-28 12:00:00", 'K'},
        {sqlAnywhere, zoned, "1500-06-01 00:00:00+01", 'K'},
        {sqlAnywhere, zoned, "1500-06-01 00:30:00+01", 'R'},
        {postgreSQL, stamp, "1500-06-01 12:00:00", 'K'},
        // SQL Anywhere's bare NUMERIC is NUMERIC(30,6); SQLite's NUMERIC affinity keeps a
        // 64-bit integer, else a double.
        {sqlAnywhere, simpleNumber, "0.1234567", 'R'},
        {sqlAnywhere, simpleNumber, "123456.123456", 'K'},
        {sqlite, simpleNumber, "1.50", 'K'},
        {sqlite, simpleNumber, "0.30000000000000004", 'K'},
        {sqlite, simpleNumber, "0.142857142857142857142857", 'R'},
        {sqlite, simpleNumber, "9223372036854775807", 'K'},
        {sqlite, simpleNumber, "-9223372036854775808", 'K'},
        {sqlite, simpleNumber, "9223372036854775808", 'K'},  // 2^63: a double
        {sqlite, simpleNumber, "9223372036854775809", 'R'},
        {sqlite, simpleNumber, "5e-324", 'K'},
        {sqlite, simpleNumber, "12345678901234567890.123456789", 'R'},
        {sqlite, decimal(-1, -1), "0.142857142857142857142857", 'K'},
    };
    for (const Case& c : cases) {
        const std::optional<korvanta::ValueProblem> why = c.dialect.Unstorable(c.value, c.rule);
        EXPECT_EQ(why.has_value(), c.verdict == 'R')
            << c.dialect.Name() << " " << c.value << ": " << (why ? why->message : "kept");
        // A rule the dialect checks beyond the bytes says so, or the copy would not ask it.
        if (c.verdict == 'R') {
            EXPECT_TRUE(c.dialect.Checks(c.rule)) << c.value;
        }
    }
}

// Values compare as the target's type compares them: equal values give the same text,
// and a real difference still shows.
TEST(ValueCheck, ValuesCompareAsTheirTypeComparesThem) {
    struct Case {
        ValueRule rule;
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {{ValueKind::kDecimal}, "19000", "19000.00", true},
        {{ValueKind::kDecimal}, "1000", "1000.000", true},
        {{ValueKind::kDecimal}, "+0019000.0", "1.9e4", true},
        {{ValueKind::kDecimal}, "-0.50", "-.5", true},
        {{ValueKind::kDecimal}, "19000.001", "19000.00", false},
        {{ValueKind::kDecimal}, "12345678901234567890", "1.23456789012346e+19", false},
        {{ValueKind::kInteger}, "7", "007", true},
        {{ValueKind::kFloat}, "0.14285714285714285", "1.42857142857142849212e-01", true},
        {{ValueKind::kFloat}, "0.142857142857143", "0.14285714285714285", false},
        {{ValueKind::kFloat}, "Infinity", "inf", true},
        {{ValueKind::kFloat}, "-0", "0", false},
        {{ValueKind::kBoolean}, "1", "t", true},
        {{ValueKind::kBoolean}, "false", "0", true},
        {{ValueKind::kBoolean}, "1", "f", false},
        {{ValueKind::kDate}, "2024-1-5", "2024-01-05", true},
        {{ValueKind::kDate}, "January 8, 99 BC", "0099-01-08 BC", true},
        {{ValueKind::kTimestamp}, "2024-02-29 23:59:59.000", "2024-02-29 23:59:59", true},
        {{ValueKind::kTimestamp}, "2024-02-29T23:59:59", "2024-02-29 23:59:59", true},
        {{ValueKind::kTimestamp}, "2024-01-05 24:00:00", "2024-01-06 00:00:00", true},
        {{ValueKind::kTimestamp}, "2024-02-29 23:59:59.5", "2024-02-29 23:59:59", false},
        {{ValueKind::kTimestampTz}, "2024-01-05 13:45+05:30", "2024-01-05 08:15:00+00", true},
        {{ValueKind::kTimestampTz}, "2024-01-05 13:45+05:30", "2024-01-05 13:45:00+00", false},
        {{ValueKind::kTime}, "04:05 PM", "16:05:00", true},
        {{ValueKind::kUuid},
         "{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}",
         "a0eebc999c0b4ef8bb6d6bb9bd380a11",
         true},
        {{ValueKind::kText}, "19000", "19000.00", false},
        {{ValueKind::kDecimal}, "abc", "abc", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(korvanta::ComparableValue(c.a, c.rule) == korvanta::ComparableValue(c.b, c.rule),
                  c.same)
            << c.a << " and " << c.b << ": " << korvanta::ComparableValue(c.a, c.rule) << " / "
            << korvanta::ComparableValue(c.b, c.rule);
    }
}

// A double's text reads back as the same double, as briefly as that allows; the SQLite
// stand-in's marked values come back so, and nothing else is touched.
TEST(ValueCheck, DoublesTravelAsTheirShortestExactText) {
    const auto text = [](double value) {
        std::string out;
        adodb::detail::AppendDouble(out, value);
        return out;
    };
    EXPECT_EQ(text(1.0 / 7), "0.14285714285714285");
    EXPECT_EQ(text(2.0 / 3), "0.6666666666666666");
    EXPECT_EQ(text(-0.0), "-0");
    EXPECT_EQ(text(1e300), "1e+300");
    EXPECT_EQ(text(5e-324), "5e-324");
    EXPECT_EQ(text(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(text(-std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(text(std::nan("")), "NaN");
    std::string single;
    adodb::detail::AppendFloat(single, 0.1f);
    EXPECT_EQ(single, "0.1");

    std::string scratch;
    const auto value = [&](std::string_view raw) {
        // A column of doubles (its mark: the one the reading statement gives it).
        std::vector<std::uint8_t> marks;
        korvanta::SqliteDialect().ExactRowsQuery("t", {{"d", adodb::adDouble, "REAL", {}}}, marks);
        return std::string(korvanta::SqliteDialect().ExactValue(raw, marks.at(0), scratch).text);
    };
    EXPECT_EQ(value("\x01"
                    "1.42857142857142849212e-01"),
              "0.14285714285714285");
    EXPECT_EQ(value("\x01"
                    "Inf"),
              "Infinity");
    EXPECT_EQ(value("\x01"
                    "-Inf"),
              "-Infinity");
    EXPECT_EQ(value("\x01\x01"
                    "abc"),
              "\x01"
              "abc");
    // SQLite's own text, where its 15 digits are exact, is kept as SQLite wrote it.
    EXPECT_EQ(value("\x01"
                    "0.01"),
              "0.01");
    EXPECT_EQ(value("\x01"
                    "-1.0e+20"),
              "-1.0e+20");
    EXPECT_EQ(value("\x01"
                    "1.23456789012345e-05"),
              "1.23456789012345e-05");
    // All 15 digits: kept, unless fewer name the same double.
    EXPECT_EQ(value("\x01"
                    "4.94065645841247e-324"),
              "5e-324");
    EXPECT_EQ(value("\x01"
                    "-1.79769313486232e+308"),
              "-1.79769313486232e+308");
    EXPECT_EQ(value("\x01"
                    "123456789012345.0"),
              "123456789012345.0");
    EXPECT_EQ(value("\x01"
                    "0.000123456789012345"),
              "0.000123456789012345");
    EXPECT_EQ(value("123.45"), "123.45");
    EXPECT_EQ(value("1.0"), "1.0");
}

}  // namespace
