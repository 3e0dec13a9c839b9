#pragma once

#include <string>

#include "engine/ConnectionValues.h"
#include "sql/Side.h"

namespace korvanta {

// Delete and rename for front ends that work table by table: each opens a connection of
// its own to the side, runs the one statement the windows run (DROP TABLE, ALTER TABLE
// RENAME) and closes it. Failures raise adodb::Error with the database's message.
void DropTable(Side side, const ConnectionValues& values, const std::string& table);
void RenameTable(Side side, const ConnectionValues& values, const std::string& from,
                 const std::string& to);

}  // namespace korvanta
