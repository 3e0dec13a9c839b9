// What a target column keeps of a value and how its values compare: date/time texts as
// PostgreSQL reads them, numbers, booleans, identifiers, and doubles' exact texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "DateTimeForms.h"
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
        return std::string(korvanta::SqliteDialect().ExactValue(raw, scratch));
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
