#include "sql/statements/Datatype.h"

#include <algorithm>

#include "adodb/Enums.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

struct AdoName {
    int code;
    std::string_view name;
};

// The 39 scalar members of ADO's DataTypeEnum (adArray, a flag, is none of them).
constexpr AdoName kAdoNames[] = {
    {adodb::adEmpty, "adEmpty"},
    {adodb::adSmallInt, "adSmallInt"},
    {adodb::adInteger, "adInteger"},
    {adodb::adSingle, "adSingle"},
    {adodb::adDouble, "adDouble"},
    {adodb::adCurrency, "adCurrency"},
    {adodb::adDate, "adDate"},
    {adodb::adBSTR, "adBSTR"},
    {adodb::adIDispatch, "adIDispatch"},
    {adodb::adError, "adError"},
    {adodb::adBoolean, "adBoolean"},
    {adodb::adVariant, "adVariant"},
    {adodb::adIUnknown, "adIUnknown"},
    {adodb::adDecimal, "adDecimal"},
    {adodb::adTinyInt, "adTinyInt"},
    {adodb::adUnsignedTinyInt, "adUnsignedTinyInt"},
    {adodb::adUnsignedSmallInt, "adUnsignedSmallInt"},
    {adodb::adUnsignedInt, "adUnsignedInt"},
    {adodb::adBigInt, "adBigInt"},
    {adodb::adUnsignedBigInt, "adUnsignedBigInt"},
    {adodb::adFileTime, "adFileTime"},
    {adodb::adGUID, "adGUID"},
    {adodb::adBinary, "adBinary"},
    {adodb::adChar, "adChar"},
    {adodb::adWChar, "adWChar"},
    {adodb::adNumeric, "adNumeric"},
    {adodb::adUserDefined, "adUserDefined"},
    {adodb::adDBDate, "adDBDate"},
    {adodb::adDBTime, "adDBTime"},
    {adodb::adDBTimeStamp, "adDBTimeStamp"},
    {adodb::adChapter, "adChapter"},
    {adodb::adPropVariant, "adPropVariant"},
    {adodb::adVarNumeric, "adVarNumeric"},
    {adodb::adVarChar, "adVarChar"},
    {adodb::adLongVarChar, "adLongVarChar"},
    {adodb::adVarWChar, "adVarWChar"},
    {adodb::adLongVarWChar, "adLongVarWChar"},
    {adodb::adVarBinary, "adVarBinary"},
    {adodb::adLongVarBinary, "adLongVarBinary"},
};

}  // namespace

std::string_view AdoTypeName(int code) {
    for (const AdoName& type : kAdoNames) {
        if (type.code == code)
            return type.name;
    }
    return {};
}

namespace {

struct TypeTest {
    std::string_view text;  // searched for in the lower-case ADO type name
    TypeWord type;
};

constexpr ValueRule kPlain{ValueKind::kText, 6, false, -1, -1, -1, true};
constexpr ValueRule kNumber{ValueKind::kDecimal, 6, false, -1, -1, -1, true};
// Binary values go into a text column as their hex digits.
constexpr ValueRule kHexBytes{ValueKind::kText, 6, true, -1, -1, -1, true};

// Order matters: the first test that matches decides.
constexpr TypeTest kToPostgreSQLTests[] = {
    {"binary", {"TEXT", false, kHexBytes}},        {"char", {"TEXT", false, kPlain}},
    {"varwchar", {"TEXT", false, kPlain}},         {"longvar", {"TEXT", false, kPlain}},
    {"int", {"NUMERIC", true, kNumber}},           {"currency", {"NUMERIC", true, kNumber}},
    {"date", {"DATE", false, {ValueKind::kDate}}}, {"bool", {"BOOL", false, {ValueKind::kBoolean}}},
};
// Towards SQL Anywhere every value is quoted, so no type is marked numeric. Timestamps
// get "TEXt", which the database reads as TEXT.
constexpr TypeTest kToSybaseTests[] = {
    {"binary", {"TEXT", false, kHexBytes}},   {"char", {"TEXT", false, kPlain}},
    {"decimal", {"NUMERIC", false, kNumber}}, {"single", {"NUMERIC", false, kNumber}},
    {"int", {"NUMERIC", false, kNumber}},     {"longvar", {"TEXT", false, kPlain}},
    {"numeric", {"NUMERIC", false, kNumber}}, {"date", {"TEXT", false, kPlain}},
    {"timestamp", {"TEXt", false, kPlain}},   {"double", {"NUMERIC", false, kNumber}},
};
constexpr TypeWord kOtherType{"TEXT", false, kPlain};

}  // namespace

TypeWord MapColumnType(int code, Side target) {
    std::string name(AdoTypeName(code));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    const std::span<const TypeTest> tests = target == Side::PostgreSQL
                                                ? std::span<const TypeTest>(kToPostgreSQLTests)
                                                : std::span<const TypeTest>(kToSybaseTests);
    for (const TypeTest& test : tests) {
        if (name.find(test.text) != std::string::npos)
            return test.type;
    }
    return kOtherType;
}

CreateTableBuilder::CreateTableBuilder(Side target, std::string_view tableName) : target_(target) {
    text_ = "CREATE TABLE ";
    text_ += QuotedName(tableName);
    text_ += '(';
}

void CreateTableBuilder::AddColumn(std::string_view name, int typeCode) {
    const TypeWord type = MapColumnType(typeCode, target_);
    text_ += QuotedName(name);
    text_ += ' ';
    text_ += type.word;
    text_ += ',';
    numeric_.push_back(target_ == Side::PostgreSQL && type.numeric);
    rules_.push_back(type.rule);
}

std::string CreateTableBuilder::Statement() const {
    std::string statement = text_;
    // Drop the comma behind the last column definition; a table without columns keeps
    // its opening parenthesis.
    if (!numeric_.empty())
        statement.pop_back();
    statement += target_ == Side::PostgreSQL ? ")" : ");";
    return statement;
}

}  // namespace korvanta
