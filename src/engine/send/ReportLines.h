#pragma once

#include "sql/model/Side.h"

namespace korvanta {

// The line numbers that the error report of a send shows for each of its steps. Users
// quote them to support and support reads them against these names: they are part of
// what the program says, and they never change.
struct SendReportLines {
    int openPostgreSQL;
    int openSybase;
    int dropTable;
    int select;
    int buildCreate;
    int createTable;
    int readField;
    int insert;
    int moveNext;
    int closeRecordset;
    int closeSybase;
    int closePostgreSQL;
    // Steps of their own after the handler's last: waiting for another send of the same
    // table to finish, reading the table back to verify it, and building what an exact
    // copy carries besides the rows.
    int lockTable;
    int verify;
    int schema;  // a key, index, foreign key or identity of an exact copy
    // A table that stands on the target, rows sent into it: its columns checked against
    // the source's, the merge's key found, the table emptied.
    int intoExisting;
};

// "Send Table/s To PostgreSQL" (PushButton3_Click).
inline constexpr SendReportLines kSendToPostgreSQLLines{
    .openPostgreSQL = 118,
    .openSybase = 126,
    .dropTable = 154,
    .select = 158,
    .buildCreate = 160,
    .createTable = 214,
    .readField = 238,
    .insert = 282,
    .moveNext = 284,
    .closeRecordset = 294,
    .closeSybase = 300,
    .closePostgreSQL = 302,
    .lockTable = 304,
    .verify = 306,
    .schema = 308,
    .intoExisting = 310,
};

// "Send Table/s To Sybase iAny" (PushButton4_Click).
inline constexpr SendReportLines kSendToSybaseLines{
    .openPostgreSQL = 118,
    .openSybase = 126,
    .dropTable = 152,
    .select = 156,
    .buildCreate = 158,
    .createTable = 218,
    .readField = 240,
    .insert = 260,
    .moveNext = 262,
    .closeRecordset = 272,
    .closeSybase = 280,
    .closePostgreSQL = 282,
    .lockTable = 284,
    .verify = 286,
    .schema = 288,
    .intoExisting = 290,
};

constexpr const SendReportLines& SendLinesTo(Side target) noexcept {
    return target == Side::PostgreSQL ? kSendToPostgreSQLLines : kSendToSybaseLines;
}

}  // namespace korvanta
