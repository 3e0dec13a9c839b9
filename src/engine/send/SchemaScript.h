#pragma once

#include <string>
#include <vector>

#include "engine/connections/ConnectionValues.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Side.h"

namespace korvanta {

// One table of a schema script: the statements that make it on an empty database, and
// what of the source's schema they do not carry, or why the table could not be read.
struct ScriptedTable {
    std::string table;
    std::vector<std::string> statements;
    std::vector<std::string> notCarried;
    std::string failure;  // the source's error when its schema could not be read
    std::string refused;  // why the target would refuse the table's names: it is not written
};

struct SchemaScript {
    std::vector<ScriptedTable> tables;
    // The foreign keys, once every table is made: each refers to a table of the script.
    std::vector<std::string> foreignKeys;
};

// The statements an exact send of the tables to `target` would run on an empty database
// of `dialect`, read from the source side (the other one) alone: each table's schema is
// planned as the send plans it, with no rows. Raises the driver's error when the source
// cannot be reached; a table it cannot read says so in its `failure`.
SchemaScript WriteSchemaScript(Side target, const Dialect& dialect,
                               const std::vector<std::string>& tables,
                               const ConnectionValues& values, int timeoutSeconds);

}  // namespace korvanta
