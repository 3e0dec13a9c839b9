#include "sql/dialect/OdbcDialect.h"

#include <algorithm>

#include "adodb/Enums.h"
#include "sql/dialect/CatalogText.h"

namespace korvanta {

namespace {

using namespace catalogtext;

struct AdoKind {
    int ado;
    TypeKind kind;
};

// What each ADO type is; the character types are sized (kChar, kVarChar) where a size is
// known, else text.
constexpr AdoKind kAdoKinds[] = {
    {adodb::adSmallInt, TypeKind::kSmallInt},
    {adodb::adTinyInt, TypeKind::kSmallInt},
    {adodb::adUnsignedTinyInt, TypeKind::kSmallInt},
    {adodb::adInteger, TypeKind::kInteger},
    {adodb::adUnsignedSmallInt, TypeKind::kInteger},
    {adodb::adBigInt, TypeKind::kBigInt},
    {adodb::adUnsignedInt, TypeKind::kBigInt},
    {adodb::adNumeric, TypeKind::kNumeric},
    {adodb::adDecimal, TypeKind::kNumeric},
    {adodb::adVarNumeric, TypeKind::kNumeric},
    {adodb::adUnsignedBigInt, TypeKind::kNumeric},
    {adodb::adCurrency, TypeKind::kNumeric},
    {adodb::adSingle, TypeKind::kReal},
    {adodb::adDouble, TypeKind::kDouble},
    {adodb::adChar, TypeKind::kChar},
    {adodb::adWChar, TypeKind::kChar},
    {adodb::adVarChar, TypeKind::kVarChar},
    {adodb::adVarWChar, TypeKind::kVarChar},
    {adodb::adBinary, TypeKind::kBinary},
    {adodb::adVarBinary, TypeKind::kBinary},
    {adodb::adLongVarBinary, TypeKind::kBinary},
    {adodb::adDate, TypeKind::kDate},
    {adodb::adDBDate, TypeKind::kDate},
    {adodb::adDBTime, TypeKind::kTime},
    {adodb::adDBTimeStamp, TypeKind::kTimestamp},
    {adodb::adBoolean, TypeKind::kBoolean},
    {adodb::adGUID, TypeKind::kUuid},
};

}  // namespace

const Capabilities& OdbcDialect::Can() const {
    static const Capabilities kCan;
    return kCan;
}

std::shared_ptr<const Dialect> OdbcDialect::WithSetting(std::string_view) const {
    return std::make_shared<OdbcDialect>();
}

std::string OdbcDialect::Declaration(const ColumnType& type, std::string& notExact) const {
    switch (type.kind) {
        case TypeKind::kSmallInt:
            return "SMALLINT";
        case TypeKind::kInteger:
            return "INTEGER";
        case TypeKind::kBigInt:
            return "BIGINT";
        case TypeKind::kNumeric:
            if (type.precision >= 0)
                return Decimal("NUMERIC", type);
            notExact = "a number of any precision, as the target's own NUMERIC";
            return "NUMERIC";
        case TypeKind::kReal:
            return "REAL";
        case TypeKind::kDouble:
            return "DOUBLE PRECISION";
        case TypeKind::kChar:
            return type.length > 0 ? Sized("CHAR", type.length) : "CLOB";
        case TypeKind::kVarChar:
            return type.length > 0 ? Sized("VARCHAR", type.length) : "CLOB";
        case TypeKind::kText:
            return "CLOB";
        case TypeKind::kBinary:
            return "BLOB";
        case TypeKind::kDate:
            return "DATE";
        case TypeKind::kTime:
            return Fractional("TIME", type);
        case TypeKind::kTimestamp:
            return Fractional("TIMESTAMP", type);
        case TypeKind::kTimestampTz:
            return Fractional("TIMESTAMP", type, " WITH TIME ZONE");
        case TypeKind::kBoolean:
            return "BOOLEAN";
        case TypeKind::kUuid:
            notExact = "no such type in standard SQL, its values as text";
            return "CHAR(36)";
        case TypeKind::kOther:
            break;
    }
    notExact = "no counterpart, its values as text";
    return "CLOB";
}

void OdbcDialect::AppendBinary(std::string& buffer, std::string_view hex) const {
    buffer += "X'";
    buffer += hex;
    buffer += '\'';
}

std::string OdbcDialect::IdentityClause(std::string& why) const {
    why = "the numbering of this data source is not known";
    return {};
}

ColumnType OdbcDialect::ReadType(int adoType, std::string_view name, int size, int digits) {
    const auto found = std::find_if(std::begin(kAdoKinds), std::end(kAdoKinds),
                                    [&](const AdoKind& a) { return a.ado == adoType; });
    const TypeKind kind = found == std::end(kAdoKinds) ? TypeKind::kText : found->kind;
    if (kind == TypeKind::kNumeric)
        return Numeric(name, size, size >= 0 ? std::max(digits, 0) : -1);
    if ((kind == TypeKind::kChar || kind == TypeKind::kVarChar) && size <= 0)
        return Of(TypeKind::kText, name);
    return Of(kind, name, kind == TypeKind::kChar || kind == TypeKind::kVarChar ? size : -1);
}

ColumnDefault OdbcDialect::ReadDefault(std::string_view text) {
    return CommonDefault(WithoutCasts(text), text);
}

}  // namespace korvanta
