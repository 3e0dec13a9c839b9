#pragma once

namespace korvanta {

enum class Direction {
    ToPostgreSQL,  // "Send Table/s To PostgreSQL": List1 (SQL Anywhere) to PostgreSQL
    ToSybase,      // "Send Table/s To Sybase iAny": List2 (PostgreSQL) to SQL Anywhere
};

}  // namespace korvanta
