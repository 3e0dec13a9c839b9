#include "engine/send/SchemaScript.h"

#include <functional>

#include "adodb/Error.h"
#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/rows/TableRows.h"
#include "engine/schema/SchemaReader.h"
#include "engine/tables/TableNames.h"
#include "sql/model/SqlName.h"
#include "sql/statements/NameCheck.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

namespace {

void Append(std::vector<std::string>& to, const std::vector<SchemaStep>& steps) {
    for (const SchemaStep& step : steps)
        to.push_back(step.statement);
}

// Why the target would refuse the table's names: its own, one taken already by an earlier
// table of the script (as the target compares names), or its columns'. Empty when it takes
// them; the names it would cut are noted.
std::string NameRefusal(const Dialect& dialect, const std::string& table,
                        const std::vector<std::string>& earlier,
                        const std::vector<SourceField>& fields, std::vector<std::string>& notes) {
    std::string why;
    if (!dialect.StoredName(table, why))
        return why;
    for (const std::string& other : earlier) {
        if (dialect.SameName(other, table))
            return "the table " + QuotedName(other) + " of the script would be the same table on " +
                   std::string(dialect.Name());
    }
    std::vector<std::string> columns;
    for (const SourceField& field : fields)
        columns.push_back(field.name);
    const NameCheck check = CheckColumnNames(columns, dialect);
    notes = check.notes;
    for (const std::string& problem : check.problems)
        why += (why.empty() ? "" : "; ") + problem;
    return why;
}

// The table's statements in the script; its foreign keys go last, to tables of the script only.
void Script(const TablePlan& plan, const std::function<bool(std::string_view)>& onTarget,
            ScriptedTable& scripted, std::vector<std::string>& foreignKeys) {
    Append(scripted.statements, plan.beforeTable);
    scripted.statements.push_back(plan.createTable);
    Append(scripted.statements, plan.afterRows);
    Append(scripted.statements, plan.sequences);
    scripted.notCarried = plan.notCarried;
    for (const SchemaStep& key : plan.foreignKeys) {
        if (onTarget(key.table))
            foreignKeys.push_back(key.statement);
        else
            scripted.notCarried.push_back(key.what + ": the table is not in the script");
    }
}

}  // namespace

SchemaScript WriteSchemaScript(Side target, const Dialect& dialect,
                               const std::vector<std::string>& tables,
                               const ConnectionValues& values, int timeoutSeconds) {
    adodb::Connection source;
    source.CursorLocation = adodb::adUseServer;
    source.CommandTimeout = timeoutSeconds;
    source.ConnectionTimeout = timeoutSeconds;
    std::shared_ptr<const Dialect> sourceDialect;
    if (target == Side::PostgreSQL) {
        OpenSybase(source, values);
        sourceDialect = DialectOfDataSource(source);
    } else {
        OpenPostgreSQL(source, values);
        sourceDialect = DialectOf(Side::PostgreSQL, {});
    }
    std::vector<std::string> names;
    for (const std::string& table : tables)
        names.push_back(StoredTableName(target, table));
    // The database is empty but for the script's own tables.
    const auto onTarget = [&](std::string_view table) {
        for (const std::string& name : names) {
            if (SameNameIgnoringCase(name, StoredTableName(target, table)))
                return true;
        }
        return false;
    };
    SchemaScript script;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        ScriptedTable& scripted = script.tables.emplace_back();
        scripted.table = tables[i];
        try {
            TableRows rows;
            rows.Open(source, sourceDialect, tables[i]);
            const TableSchema schema =
                ReadTableSchema(source, *sourceDialect, tables[i], rows.Fields());
            const std::vector<SourceField> fields = rows.Fields();
            rows.Close();
            std::vector<std::string> notes;
            const std::vector<std::string> earlier(names.begin(), names.begin() + i);
            if (std::string why = NameRefusal(dialect, names[i], earlier, fields, notes);
                !why.empty()) {
                scripted.refused = std::move(why);
                continue;
            }
            Script(PlanExactTable(schema, names[i], dialect, onTarget), onTarget, scripted,
                   script.foreignKeys);
            scripted.notCarried.insert(scripted.notCarried.end(), notes.begin(), notes.end());
        } catch (const std::exception& e) {
            scripted.failure = e.what();
            if (AsError(e).connectionLost())
                throw;
        }
    }
    return script;
}

}  // namespace korvanta
