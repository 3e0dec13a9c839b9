#include "adodb/ValueFormat.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace adodb::detail {
namespace {

std::string Double(double value) {
    std::string out;
    AppendDouble(out, value);
    return out;
}

std::string Float(float value) {
    std::string out;
    AppendFloat(out, value);
    return out;
}

TEST(AdodbValueFormat, NumbersAreShortestRoundTripText) {
    EXPECT_EQ(Double(0.1), "0.1");
    EXPECT_EQ(Double(1e300), "1e+300");
    // Through double the float 3.3 would read 3.299999952316284.
    EXPECT_EQ(Float(3.3f), "3.3");
    EXPECT_EQ(Double(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(Double(-std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(Float(std::numeric_limits<float>::infinity()), "Infinity");
}

TEST(AdodbValueFormat, WholeNumbersStayPlainWithinTheTypesDigits) {
    // As PostgreSQL writes them: exponent form only beyond the significant digits.
    EXPECT_EQ(Double(1000000), "1000000");
    EXPECT_EQ(Double(123456789012345), "123456789012345");
    EXPECT_EQ(Double(1e15), "1e+15");
    EXPECT_EQ(Double(-2.5e-5), "-2.5e-05");
    EXPECT_EQ(Double(0.0001), "0.0001");
    EXPECT_EQ(Double(0), "0");
    EXPECT_EQ(Float(100000), "100000");
    EXPECT_EQ(Float(1e6f), "1e+06");
}

TEST(AdodbValueFormat, DatesAndTimesAreZeroPaddedIsoText) {
    const struct {
        SQL_DATE_STRUCT date;
        const char* text;
    } dates[] = {
        {{2024, 2, 29}, "2024-02-29"},    {{1, 1, 1}, "0001-01-01"},    {{0, 10, 9}, "0000-10-09"},
        {{12345, 12, 31}, "12345-12-31"}, {{-44, 3, 15}, "-044-03-15"},
    };
    for (const auto& d : dates) {
        std::string out = "=";
        AppendDate(out, d.date);
        EXPECT_EQ(out, std::string("=") + d.text);
    }
    const struct {
        SQL_TIME_STRUCT time;
        const char* text;
    } times[] = {{{0, 0, 0}, "00:00:00"}, {{9, 5, 7}, "09:05:07"}, {{23, 59, 60}, "23:59:60"}};
    for (const auto& t : times) {
        std::string out;
        AppendTime(out, t.time);
        EXPECT_EQ(out, t.text);
    }
}

TEST(AdodbValueFormat, TimestampFractionsLoseTrailingZerosOnly) {
    std::string out;
    AppendTimestamp(out, {987, 12, 31, 23, 59, 58, 0});
    EXPECT_EQ(out, "0987-12-31 23:59:58");
    out.clear();
    AppendTimestamp(out, {2024, 1, 2, 3, 4, 5, 120000000});
    EXPECT_EQ(out, "2024-01-02 03:04:05.12");
    out.clear();
    AppendTimestamp(out, {2024, 1, 2, 3, 4, 5, 1});
    EXPECT_EQ(out, "2024-01-02 03:04:05.000000001");
    out.clear();
    AppendTimestamp(out, {2024, 1, 2, 3, 4, 5, 999999999});
    EXPECT_EQ(out, "2024-01-02 03:04:05.999999999");
    out.clear();
    AppendTimestamp(out, {2024, 1, 2, 3, 4, 5, 500});
    EXPECT_EQ(out, "2024-01-02 03:04:05.0000005");
}

}  // namespace
}  // namespace adodb::detail
