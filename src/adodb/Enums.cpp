#include "adodb/Enums.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace adodb {

namespace {

// Each ODBC SQL type and its ADO type codes, signed and unsigned.
struct SqlToAdo {
    int sqlType;
    int ado;
    int unsignedAdo;
};
constexpr SqlToAdo kSqlToAdo[] = {
    {SQL_CHAR, adChar, adChar},
    {SQL_VARCHAR, adVarChar, adVarChar},
    {SQL_LONGVARCHAR, adLongVarChar, adLongVarChar},
    {SQL_WCHAR, adWChar, adWChar},
    {SQL_WVARCHAR, adVarWChar, adVarWChar},
    {SQL_WLONGVARCHAR, adLongVarWChar, adLongVarWChar},
    {SQL_DECIMAL, adNumeric, adNumeric},
    {SQL_NUMERIC, adNumeric, adNumeric},
    {SQL_SMALLINT, adSmallInt, adUnsignedSmallInt},
    {SQL_INTEGER, adInteger, adUnsignedInt},
    {SQL_BIGINT, adBigInt, adUnsignedBigInt},
    {SQL_TINYINT, adTinyInt, adUnsignedTinyInt},
    {SQL_REAL, adSingle, adSingle},
    {SQL_FLOAT, adDouble, adDouble},
    {SQL_DOUBLE, adDouble, adDouble},
    {SQL_BIT, adBoolean, adBoolean},
    {SQL_BINARY, adBinary, adBinary},
    {SQL_VARBINARY, adVarBinary, adVarBinary},
    {SQL_LONGVARBINARY, adLongVarBinary, adLongVarBinary},
    {SQL_TYPE_DATE, adDBDate, adDBDate},
    {SQL_DATE, adDBDate, adDBDate},
    {SQL_TYPE_TIME, adDBTime, adDBTime},
    {SQL_TIME, adDBTime, adDBTime},
    {SQL_TYPE_TIMESTAMP, adDBTimeStamp, adDBTimeStamp},
    {SQL_TIMESTAMP, adDBTimeStamp, adDBTimeStamp},
    {SQL_GUID, adGUID, adGUID},
};

}  // namespace

std::optional<int> KnownAdoType(int sqlType, bool isUnsigned) {
    for (const SqlToAdo& type : kSqlToAdo) {
        if (type.sqlType == sqlType)
            return isUnsigned ? type.unsignedAdo : type.ado;
    }
    return std::nullopt;
}

int AdoTypeFromSqlType(int sqlType, bool isUnsigned) {
    return KnownAdoType(sqlType, isUnsigned).value_or(adVarWChar);
}

}  // namespace adodb
