#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "adodb/Diagnostics.h"
#include "adodb/Enums.h"
#include "adodb/TextCodec.h"

// The two ways of handing text to a driver and taking it back: the wide functions with
// UTF-16 (SQLWCHAR), and the narrow ones with bytes, which the layer keeps as UTF-8. A call
// that passes text is written once, over the members of these, and WithTextApi picks the
// one a handle was opened with.
namespace adodb::detail {

struct WideText {
    using Char = SQLWCHAR;
    // The text as the driver takes it, ended by a zero.
    static std::vector<Char> In(std::string_view utf8) {
        std::vector<Char> text;
        Utf8ToUtf16(utf8, text);
        return text;
    }
    // `length` characters of the driver's text, as UTF-8.
    static std::string Out(const Char* text, std::size_t length) {
        std::string utf8;
        AppendUtf8(utf8, text, length);
        return utf8;
    }
    static constexpr std::size_t kCharBytes = sizeof(Char);

    static SQLRETURN DriverConnect(SQLHDBC c, Char* text) {
        return SQLDriverConnectW(c, nullptr, text, SQL_NTS, nullptr, 0, nullptr,
                                 SQL_DRIVER_NOPROMPT);
    }
    static SQLRETURN GetTypeInfo(SQLHSTMT s, SQLSMALLINT type) { return SQLGetTypeInfoW(s, type); }
    static SQLRETURN ExecDirect(SQLHSTMT s, Char* text, SQLINTEGER length) {
        return SQLExecDirectW(s, text, length);
    }
    static SQLRETURN Prepare(SQLHSTMT s, Char* text, SQLINTEGER length) {
        return SQLPrepareW(s, text, length);
    }
    static SQLRETURN AllTables(SQLHSTMT s) {
        return SQLTablesW(s, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    }
    // The catalog function `schema` names (an adSchema code) for one table.
    static SQLRETURN TableCatalog(SQLHSTMT s, int schema, Char* table) {
        switch (schema) {
            case adSchemaColumns:
                return SQLColumnsW(s, nullptr, 0, nullptr, 0, table, SQL_NTS, nullptr, 0);
            case adSchemaIndexes:
                return SQLStatisticsW(s, nullptr, 0, nullptr, 0, table, SQL_NTS, SQL_INDEX_ALL,
                                      SQL_QUICK);
            case adSchemaForeignKeys:
                return SQLForeignKeysW(s, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                       0, table, SQL_NTS);
            default:
                return SQLPrimaryKeysW(s, nullptr, 0, nullptr, 0, table, SQL_NTS);
        }
    }
    static SQLRETURN GetInfo(SQLHDBC c, SQLUSMALLINT item, Char* buffer, SQLSMALLINT bytes,
                             SQLSMALLINT* length) {
        return SQLGetInfoW(c, item, buffer, bytes, length);
    }
    static SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT index, Char* state,
                                SQLINTEGER* native, Char* text, SQLSMALLINT size,
                                SQLSMALLINT* length) {
        return SQLGetDiagRecW(type, h, index, state, native, text, size, length);
    }
    static SQLRETURN DescribeCol(SQLHSTMT s, SQLUSMALLINT n, Char* name, SQLSMALLINT size,
                                 SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* columnSize,
                                 SQLSMALLINT* digits, SQLSMALLINT* nullable) {
        return SQLDescribeColW(s, n, name, size, length, type, columnSize, digits, nullable);
    }
    static SQLRETURN ColAttribute(SQLHSTMT s, SQLUSMALLINT n, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT bytes, SQLSMALLINT* length, SQLLEN* number) {
        return SQLColAttributeW(s, n, field, text, bytes, length, number);
    }
};

struct NarrowText {
    using Char = SQLCHAR;
    static std::vector<Char> In(std::string_view utf8) {
        std::vector<Char> text(utf8.begin(), utf8.end());
        text.push_back(0);
        return text;
    }
    static std::string Out(const Char* text, std::size_t length) {
        return std::string(reinterpret_cast<const char*>(text), length);
    }
    static constexpr std::size_t kCharBytes = sizeof(Char);

    static SQLRETURN DriverConnect(SQLHDBC c, Char* text) {
        return SQLDriverConnect(c, nullptr, text, SQL_NTS, nullptr, 0, nullptr,
                                SQL_DRIVER_NOPROMPT);
    }
    static SQLRETURN GetTypeInfo(SQLHSTMT s, SQLSMALLINT type) { return SQLGetTypeInfo(s, type); }
    static SQLRETURN ExecDirect(SQLHSTMT s, Char* text, SQLINTEGER length) {
        return SQLExecDirect(s, text, length);
    }
    static SQLRETURN Prepare(SQLHSTMT s, Char* text, SQLINTEGER length) {
        return SQLPrepare(s, text, length);
    }
    static SQLRETURN AllTables(SQLHSTMT s) {
        return SQLTables(s, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    }
    // The catalog function `schema` names (an adSchema code) for one table.
    static SQLRETURN TableCatalog(SQLHSTMT s, int schema, Char* table) {
        switch (schema) {
            case adSchemaColumns:
                return SQLColumns(s, nullptr, 0, nullptr, 0, table, SQL_NTS, nullptr, 0);
            case adSchemaIndexes:
                return SQLStatistics(s, nullptr, 0, nullptr, 0, table, SQL_NTS, SQL_INDEX_ALL,
                                     SQL_QUICK);
            case adSchemaForeignKeys:
                return SQLForeignKeys(s, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                      table, SQL_NTS);
            default:
                return SQLPrimaryKeys(s, nullptr, 0, nullptr, 0, table, SQL_NTS);
        }
    }
    static SQLRETURN GetInfo(SQLHDBC c, SQLUSMALLINT item, Char* buffer, SQLSMALLINT bytes,
                             SQLSMALLINT* length) {
        return SQLGetInfo(c, item, buffer, bytes, length);
    }
    static SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT index, Char* state,
                                SQLINTEGER* native, Char* text, SQLSMALLINT size,
                                SQLSMALLINT* length) {
        return SQLGetDiagRec(type, h, index, state, native, text, size, length);
    }
    static SQLRETURN DescribeCol(SQLHSTMT s, SQLUSMALLINT n, Char* name, SQLSMALLINT size,
                                 SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* columnSize,
                                 SQLSMALLINT* digits, SQLSMALLINT* nullable) {
        return SQLDescribeCol(s, n, name, size, length, type, columnSize, digits, nullable);
    }
    static SQLRETURN ColAttribute(SQLHSTMT s, SQLUSMALLINT n, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT bytes, SQLSMALLINT* length, SQLLEN* number) {
        return SQLColAttribute(s, n, field, text, bytes, length, number);
    }
};

// Calls work(WideText{}) or work(NarrowText{}), as the handle's functions are.
template <class Work>
decltype(auto) WithTextApi(TextApi api, Work&& work) {
    if (api == TextApi::kWide)
        return work(WideText{});
    return work(NarrowText{});
}

// Text of at most `bytes` bytes that a driver wrote into a buffer of `capacity`
// characters (the last for its zero), as UTF-8.
template <class Text>
std::string TextOfBytes(const typename Text::Char* buffer, SQLSMALLINT bytes,
                        std::size_t capacity) {
    const std::size_t length = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / Text::kCharBytes, capacity - 1);
    return Text::Out(buffer, length);
}

}  // namespace adodb::detail
