#include "engine/send/SchemaScript.h"

#include "adodb/Error.h"
#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/rows/TableRows.h"
#include "engine/schema/SchemaReader.h"
#include "engine/tables/TableNames.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

namespace {

void Append(std::vector<std::string>& to, const std::vector<SchemaStep>& steps) {
    for (const SchemaStep& step : steps)
        to.push_back(step.statement);
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
            rows.Close();
            const TablePlan plan = PlanExactTable(schema, names[i], dialect, onTarget);
            Append(scripted.statements, plan.beforeTable);
            scripted.statements.push_back(plan.createTable);
            Append(scripted.statements, plan.afterRows);
            Append(scripted.statements, plan.sequences);
            scripted.notCarried = plan.notCarried;
            for (const SchemaStep& key : plan.foreignKeys) {
                if (onTarget(key.table))
                    script.foreignKeys.push_back(key.statement);
                else
                    scripted.notCarried.push_back(key.what + ": the table is not in the script");
            }
        } catch (const std::exception& e) {
            scripted.failure = e.what();
            if (AsError(e).connectionLost())
                throw;
        }
    }
    return script;
}

}  // namespace korvanta
