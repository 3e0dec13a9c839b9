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
}

}  // namespace
}  // namespace adodb::detail
