#pragma once

namespace korvanta {

// One of the two databases the tool works between. A send names the side it writes to;
// the other side is its source.
enum class Side {
    SqlAnywhere,  // reached through the ODBC data source; List1 of the table window
    PostgreSQL,   // reached through psqlODBC and libpq; List2
};

constexpr Side OtherSide(Side side) noexcept {
    return side == Side::PostgreSQL ? Side::SqlAnywhere : Side::PostgreSQL;
}

}  // namespace korvanta
