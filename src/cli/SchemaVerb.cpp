#include "cli/SchemaVerb.h"

#include <algorithm>
#include <cstdio>

#include "cli/ExitStatus.h"
#include "cli/NameText.h"
#include "cli/OutputFile.h"
#include "cli/TableSelection.h"
#include "engine/send/SchemaScript.h"
#include "engine/tables/TableListing.h"

namespace korvanta::cli {

int PrintSchema(const SendOptions& options, const std::string& dialect,
                const ConnectionValues& values) {
    const Side source = OtherSide(options.target);
    const TableSelection selection =
        SelectTables(options.operands, options.all, SortedTableNames(source, values));
    int status = kExitOk;
    for (const std::string& pattern : selection.unmatched) {
        std::fprintf(stderr, "korvanta: no table matches %s\n", pattern.c_str());
        status = kExitFailed;
    }
    const SchemaScript script =
        WriteSchemaScript(options.target, *DialectNamed(dialect), selection.tables, values,
                          options.settings.commandTimeoutSeconds);
    std::string text;
    for (const ScriptedTable& table : script.tables) {
        if (!table.failure.empty()) {
            std::fprintf(stderr, "korvanta: cannot read the schema of %s: %s\n",
                         table.table.c_str(), table.failure.c_str());
            status = kExitFailed;
            continue;
        }
        if (!table.refused.empty()) {
            std::fprintf(stderr, "korvanta: %s is not written: %s\n", table.table.c_str(),
                         table.refused.c_str());
            status = kExitFailed;
            continue;
        }
        for (const std::string& statement : table.statements)
            text += statement + ";\n";
        // A comment is one line: a line break in a source's text becomes a space.
        for (std::string item : table.notCarried) {
            std::replace(item.begin(), item.end(), '\n', ' ');
            std::replace(item.begin(), item.end(), '\r', ' ');
            text += "-- " + NameForLine(table.table) + ": not carried: " + item + "\n";
        }
    }
    for (const std::string& statement : script.foreignKeys)
        text += statement + ";\n";
    return PrintToStandardOutput(text) ? status : kExitFailed;
}

}  // namespace korvanta::cli
