#pragma once

#include <optional>

namespace adodb {

// ADO's DataTypeEnum: the type code of a field.
enum DataTypeEnum : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adIDispatch = 9,
    adError = 10,
    adBoolean = 11,
    adVariant = 12,
    adIUnknown = 13,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adBigInt = 20,
    adUnsignedBigInt = 21,
    adFileTime = 64,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adUserDefined = 132,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adChapter = 136,
    adPropVariant = 138,
    adVarNumeric = 139,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

enum CursorLocationEnum : int { adUseServer = 2, adUseClient = 3 };
enum CursorTypeEnum : int {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum : int {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4
};
enum SchemaEnum : int {
    adSchemaColumns = 4,       // SQLColumns
    adSchemaIndexes = 12,      // SQLStatistics
    adSchemaTables = 20,       // SQLTables
    adSchemaForeignKeys = 27,  // SQLForeignKeys, the table's own keys
    adSchemaPrimaryKeys = 28,  // SQLPrimaryKeys
};

// The ADO type code that the OLE DB provider for ODBC gives for a column of the
// given ODBC SQL type (SQL_CHAR, SQL_WVARCHAR, ...). Unsigned integers get the
// unsigned codes; any type without a code of its own is read as text (adVarWChar).
int AdoTypeFromSqlType(int sqlType, bool isUnsigned);
// The same, but nothing for a type without a code of its own.
std::optional<int> KnownAdoType(int sqlType, bool isUnsigned);

}  // namespace adodb
