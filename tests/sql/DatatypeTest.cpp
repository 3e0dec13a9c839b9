#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/model/TypeFit.h"
#include "sql/statements/Datatype.h"
#include "support/StatementBuilders.h"

using korvanta::AdoTypeName;
using korvanta::Side;
using testdb::BuildCreateTable;
using testdb::SourceColumn;

namespace {

struct TypeRow {
    int code;
    const char* adoName;
    const char* toPostgreSQL;  // type word
    bool numericList;          // entered in the numeric column list towards PostgreSQL
    const char* toSybase;      // type word
};

// Every code that has an ADO name, with the column type it gets in each direction.
const TypeRow kTypes[] = {
    {0, "adEmpty", "TEXT", false, "TEXT"},
    {2, "adSmallInt", "NUMERIC", true, "NUMERIC"},
    {3, "adInteger", "NUMERIC", true, "NUMERIC"},
    {4, "adSingle", "TEXT", false, "NUMERIC"},
    {5, "adDouble", "TEXT", false, "NUMERIC"},
    {6, "adCurrency", "NUMERIC", true, "TEXT"},
    {7, "adDate", "DATE", false, "TEXT"},
    {8, "adBSTR", "TEXT", false, "TEXT"},
    {9, "adIDispatch", "TEXT", false, "TEXT"},
    {10, "adError", "TEXT", false, "TEXT"},
    {11, "adBoolean", "BOOL", false, "TEXT"},
    {12, "adVariant", "TEXT", false, "TEXT"},
    {13, "adIUnknown", "TEXT", false, "TEXT"},
    {14, "adDecimal", "TEXT", false, "NUMERIC"},
    {16, "adTinyInt", "NUMERIC", true, "NUMERIC"},
    {17, "adUnsignedTinyInt", "NUMERIC", true, "NUMERIC"},
    {18, "adUnsignedSmallInt", "NUMERIC", true, "NUMERIC"},
    {19, "adUnsignedInt", "NUMERIC", true, "NUMERIC"},
    {20, "adBigInt", "NUMERIC", true, "NUMERIC"},
    {21, "adUnsignedBigInt", "NUMERIC", true, "NUMERIC"},
    {64, "adFileTime", "TEXT", false, "TEXT"},
    {72, "adGUID", "TEXT", false, "TEXT"},
    {128, "adBinary", "TEXT", false, "TEXT"},
    {129, "adChar", "TEXT", false, "TEXT"},
    {130, "adWChar", "TEXT", false, "TEXT"},
    {131, "adNumeric", "TEXT", false, "NUMERIC"},
    {132, "adUserDefined", "TEXT", false, "TEXT"},
    {133, "adDBDate", "DATE", false, "TEXT"},
    {134, "adDBTime", "TEXT", false, "TEXT"},
    {135, "adDBTimeStamp", "TEXT", false, "TEXt"},
    {136, "adChapter", "TEXT", false, "TEXT"},
    {138, "adPropVariant", "TEXT", false, "TEXT"},
    {139, "adVarNumeric", "TEXT", false, "NUMERIC"},
    {200, "adVarChar", "TEXT", false, "TEXT"},
    {201, "adLongVarChar", "TEXT", false, "TEXT"},
    {202, "adVarWChar", "TEXT", false, "TEXT"},
    {203, "adLongVarWChar", "TEXT", false, "TEXT"},
    {204, "adVarBinary", "TEXT", false, "TEXT"},
    {205, "adLongVarBinary", "TEXT", false, "TEXT"},
    // Codes without a name: the array flag with a scalar type, gaps, out of range.
    {0x2000 | 3, "", "TEXT", false, "TEXT"},
    {0x2000, "", "TEXT", false, "TEXT"},
    {1, "", "TEXT", false, "TEXT"},
    {15, "", "TEXT", false, "TEXT"},
    {137, "", "TEXT", false, "TEXT"},
    {206, "", "TEXT", false, "TEXT"},
    {-1, "", "TEXT", false, "TEXT"},
};

TEST(ColumnTypeMapping, EveryCodeGivesItsNameAndColumnTypeInBothDirections) {
    int named = 0;
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE("type code " + std::to_string(row.code));
        EXPECT_EQ(AdoTypeName(row.code), row.adoName);
        named += *row.adoName != '\0' ? 1 : 0;

        const SourceColumn column[] = {{"c", row.code}};
        const auto toPostgreSQL = BuildCreateTable(Side::PostgreSQL, "t", column);
        EXPECT_EQ(toPostgreSQL.statement,
                  std::string("CREATE TABLE \"t\"(\"c\" ") + row.toPostgreSQL + ")");
        EXPECT_EQ(toPostgreSQL.numericColumnList, row.numericList ? "0," : "");
        EXPECT_EQ(toPostgreSQL.numericColumns, std::vector<bool>{row.numericList});

        const auto toSybase = BuildCreateTable(Side::SqlAnywhere, "t", column);
        EXPECT_EQ(toSybase.statement,
                  std::string("CREATE TABLE \"t\"(\"c\" ") + row.toSybase + ");");
        EXPECT_EQ(toSybase.numericColumnList, "");
        EXPECT_EQ(toSybase.numericColumns, std::vector<bool>{false});
    }
    EXPECT_EQ(named, 39);
}

TEST(ColumnTypeMapping, OrdersTableInBothDirections) {
    const SourceColumn orders[] = {{"id", 3}, {"note", 203}, {"created", 135}};
    EXPECT_EQ(BuildCreateTable(Side::SqlAnywhere, "orders", orders).statement,
              R"(CREATE TABLE "orders"("id" NUMERIC,"note" TEXT,"created" TEXt);)");
    const auto toPostgreSQL = BuildCreateTable(Side::PostgreSQL, "orders", orders);
    EXPECT_EQ(toPostgreSQL.statement,
              R"(CREATE TABLE "orders"("id" NUMERIC,"note" TEXT,"created" TEXT))");
    EXPECT_EQ(toPostgreSQL.numericColumnList, "0,");
}

TEST(ColumnTypeMapping, NumericColumnListNamesEveryIntegerAndCurrencyField) {
    // A double and a numeric between them stay out of the list: their values are quoted.
    const SourceColumn columns[] = {{"a", 20}, {"b", 5}, {"c", 131}, {"d", 6}, {"e", 202}};
    const auto create = BuildCreateTable(Side::PostgreSQL, "t", columns);
    EXPECT_EQ(create.numericColumnList, "0,3,");
    EXPECT_EQ(create.numericColumns, (std::vector<bool>{true, false, false, true, false}));
    EXPECT_EQ(create.statement,
              R"(CREATE TABLE "t"("a" NUMERIC,"b" TEXT,"c" TEXT,"d" NUMERIC,"e" TEXT))");

    // Indexes past 9 are written in full.
    std::vector<SourceColumn> wide(12, SourceColumn{"x", 202});
    wide[11].typeCode = 3;
    EXPECT_EQ(BuildCreateTable(Side::PostgreSQL, "t", wide).numericColumnList, "11,");
}

TEST(ColumnTypeMapping, NamesHoldingDoubleQuotesAreEscaped) {
    const SourceColumn columns[] = {{R"(say "hi")", 3}, {"x\"", 202}};
    EXPECT_EQ(BuildCreateTable(Side::PostgreSQL, R"(a"b)", columns).statement,
              R"(CREATE TABLE "a""b"("say ""hi""" NUMERIC,"x""" TEXT))");
    EXPECT_EQ(BuildCreateTable(Side::SqlAnywhere, R"(a"b)", columns).statement,
              R"(CREATE TABLE "a""b"("say ""hi""" NUMERIC,"x""" TEXT);)");
}

}  // namespace

// Whether a column that stands on the target takes every value of the source's type: a
// table whose column would cut, round or reinterpret a value gets no row.
TEST(TypeFit, ATargetColumnTakesTheSourceTypeOrSaysWhyNot) {
    const auto type = [](korvanta::TypeKind kind, int length = -1, int precision = -1,
                         int scale = -1) {
        korvanta::ColumnType t;
        t.kind = kind;
        t.length = length;
        t.precision = precision;
        t.scale = scale;
        return t;
    };
    using K = korvanta::TypeKind;
    struct Case {
        korvanta::ColumnType column, source;
        const char* why;  // "" when it takes it
    };
    const Case cases[] = {
        {type(K::kText), type(K::kVarChar, 50), ""},
        {type(K::kText), type(K::kBinary), "takes text, the source holds bytes"},
        {type(K::kVarChar, 50), type(K::kVarChar, 50), ""},
        {type(K::kVarChar, 10), type(K::kVarChar, 50), "holds 10 characters, the source up to 50"},
        {type(K::kVarChar, 10), type(K::kText), "the source values of any length"},
        {type(K::kVarChar, 11), type(K::kInteger), ""},
        {type(K::kChar, 5), type(K::kVarChar, 5), "pads its values with blanks"},
        {type(K::kBigInt), type(K::kInteger), ""},
        {type(K::kInteger), type(K::kBigInt), "is a smaller integer than the source's"},
        {type(K::kInteger), type(K::kNumeric, -1, 9, 0), ""},
        {type(K::kInteger), type(K::kNumeric, -1, 12, 2), "takes whole numbers only"},
        {type(K::kNumeric), type(K::kNumeric, -1, 30, 10), ""},
        {type(K::kNumeric, -1, 10, 2), type(K::kNumeric, -1, 12, 2), "takes 8 digits before"},
        {type(K::kNumeric, -1, 10, 2), type(K::kNumeric, -1, 8, 3), "keeps 2 digits after"},
        {type(K::kNumeric, -1, 12, 2), type(K::kInteger), ""},
        {type(K::kNumeric), type(K::kDouble), "takes exact numbers only"},
        {type(K::kDouble), type(K::kInteger), ""},
        {type(K::kDouble), type(K::kBigInt), "is a floating-point number"},
        {type(K::kReal), type(K::kDouble), "is a 4-byte floating-point number"},
        {type(K::kTimestamp, -1, 3), type(K::kTimestamp, -1, 6), "keeps 3 digits of a second"},
        {type(K::kTimestamp), type(K::kTimestampTz), "is a timestamp, the source a timestamp with"},
        {type(K::kTimestamp), type(K::kDate), "is a timestamp, the source a date"},
        {type(K::kBoolean), type(K::kInteger), "is a boolean, the source an integer"},
        {type(K::kUuid), type(K::kUuid), ""},
    };
    for (const Case& c : cases) {
        const std::string why = korvanta::WhyNotHeld(c.column, c.source);
        if (std::string(c.why).empty())
            EXPECT_EQ(why, "") << korvanta::TypeText(c.column) << " <- "
                               << korvanta::TypeText(c.source);
        else
            EXPECT_NE(why.find(c.why), std::string::npos)
                << korvanta::TypeText(c.column) << " <- " << korvanta::TypeText(c.source) << ": "
                << why;
    }
}
