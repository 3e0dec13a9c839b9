#include "sql/statements/Datatype.h"

#include <algorithm>

#include "adodb/Enums.h"
#include "sql/model/SqlName.h"

namespace korvanta {

std::string_view AdoTypeName(int code) {
    using namespace adodb;
    switch (code) {
        case adEmpty:
            return "adEmpty";
        case adSmallInt:
            return "adSmallInt";
        case adInteger:
            return "adInteger";
        case adSingle:
            return "adSingle";
        case adDouble:
            return "adDouble";
        case adCurrency:
            return "adCurrency";
        case adDate:
            return "adDate";
        case adBSTR:
            return "adBSTR";
        case adIDispatch:
            return "adIDispatch";
        case adError:
            return "adError";
        case adBoolean:
            return "adBoolean";
        case adVariant:
            return "adVariant";
        case adIUnknown:
            return "adIUnknown";
        case adDecimal:
            return "adDecimal";
        case adTinyInt:
            return "adTinyInt";
        case adUnsignedTinyInt:
            return "adUnsignedTinyInt";
        case adUnsignedSmallInt:
            return "adUnsignedSmallInt";
        case adUnsignedInt:
            return "adUnsignedInt";
        case adBigInt:
            return "adBigInt";
        case adUnsignedBigInt:
            return "adUnsignedBigInt";
        case adFileTime:
            return "adFileTime";
        case adGUID:
            return "adGUID";
        case adBinary:
            return "adBinary";
        case adChar:
            return "adChar";
        case adWChar:
            return "adWChar";
        case adNumeric:
            return "adNumeric";
        case adUserDefined:
            return "adUserDefined";
        case adDBDate:
            return "adDBDate";
        case adDBTime:
            return "adDBTime";
        case adDBTimeStamp:
            return "adDBTimeStamp";
        case adChapter:
            return "adChapter";
        case adPropVariant:
            return "adPropVariant";
        case adVarNumeric:
            return "adVarNumeric";
        case adVarChar:
            return "adVarChar";
        case adLongVarChar:
            return "adLongVarChar";
        case adVarWChar:
            return "adVarWChar";
        case adLongVarWChar:
            return "adLongVarWChar";
        case adVarBinary:
            return "adVarBinary";
        case adLongVarBinary:
            return "adLongVarBinary";
        default:
            return {};
    }
}

namespace {

struct TypeTest {
    std::string_view text;  // searched for in the lower-case ADO type name
    TypeWord type;
};

constexpr ValueRule kPlain{ValueKind::kText};
constexpr ValueRule kNumber{ValueKind::kDecimal};

// Order matters: the first test that matches decides.
constexpr TypeTest kToPostgreSQLTests[] = {
    {"char", {"TEXT", false, kPlain}},
    {"varwchar", {"TEXT", false, kPlain}},
    {"longvar", {"TEXT", false, kPlain}},
    {"int", {"NUMERIC", true, kNumber}},
    {"currency", {"NUMERIC", true, kNumber}},
    {"date", {"DATE", false, {ValueKind::kDate}}},
    {"bool", {"BOOL", false, {ValueKind::kBoolean}}},
};
// Towards SQL Anywhere every value is quoted, so no type is marked numeric. Timestamps
// get "TEXt", which the database reads as TEXT.
constexpr TypeTest kToSybaseTests[] = {
    {"char", {"TEXT", false, kPlain}},
    {"decimal", {"NUMERIC", false, kNumber}},
    {"single", {"NUMERIC", false, kNumber}},
    {"int", {"NUMERIC", false, kNumber}},
    {"adlongvarbinary", {"TEXT", false, kPlain}},
    {"longvar", {"TEXT", false, kPlain}},
    {"numeric", {"NUMERIC", false, kNumber}},
    {"date", {"TEXT", false, kPlain}},
    {"timestamp", {"TEXt", false, kPlain}},
    {"double", {"NUMERIC", false, kNumber}},
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
    const bool numeric = target_ == Side::PostgreSQL && type.numeric;
    if (numeric) {
        numericList_ += std::to_string(numeric_.size());
        numericList_ += ',';
    }
    numeric_.push_back(numeric);
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
