// The route of a table the send makes: dropped first where the user said so, created, filled,
// and its keys and indexes made after its rows.
#include "engine/send/routes/Routes.h"
#include "sql/model/SqlName.h"
#include "sql/statements/NameCheck.h"
#include "sql/statements/RouteStatements.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

namespace {

// Drops the target's table when the user said so. False when the table goes no further: a
// lost connection, or a DROP refused in a send that writes only fresh tables; otherwise the
// entry goes whether or not the DROP went through, as the list has always done.
bool DropOld(SendSession& session, SentTable& table) {
    if (!table.overwrite)
        return true;
    const std::string drop = DropTableStatement(table.name);
    session.listener().SchemaStatement(drop);
    if (session.request().dryRun)
        return true;
    TransientBudget budget = session.StatementBudget();
    const bool dropped = session.Step(
        session.lines().dropTable,
        [&] { WaitOutTransient([&] { session.Target().Execute(drop); }, budget); }, &drop);
    if (session.ended() || (!dropped && session.request().freshTablesOnly))
        return false;
    session.Dropped(table.name);
    return true;
}

// A table the run did not create may have other columns than the source's: its rows go one
// INSERT at a time, as the database takes them, with no rule of what its columns keep.
void CopyNewRows(SendSession& session, SentTable& table, const TablePlan& plan) {
    RowsInto into{.table = table.name, .bare = plan.bare, .binary = plan.binary};
    for (const SourceField& field : table.rows.Fields())
        into.read.push_back(field.name);
    if (table.created)
        into.rules = plan.rules;
    else
        into.writer = RowsInto::Writer::kNone;
    session.CopyTable(table, into);
    if (session.request().settings.verify && table.created && !session.ended())
        session.Verify(table, plan.rules);
}

// A dry run tells the statements as if the table stood there now: a foreign key to it too.
void DryRun(SendSession& session, SentTable& table, const TablePlan& plan) {
    session.foreignKeys().Written(table.name);
    table.outcome.complete = true;
    session.AfterRows(table, plan);
}

// The table's plan, its column names checked against the target's rules: a name the target
// would cut is named, two it would take for one (or one it refuses) fail the table before
// anything is made. Raises the reason.
TablePlan PlanOf(SendSession& session, const SentTable& table) {
    TablePlan plan =
        table.schema ? session.PlanExact(table)
                     : PlanSimpleTable(session.request().target, table.name, table.rows.Fields());
    std::vector<std::string> columns;
    for (const SourceField& field : table.rows.Fields())
        columns.push_back(field.name);
    NameCheck check = CheckColumnNames(columns, session.TargetDialect());
    if (!check.problems.empty()) {
        std::string why;
        for (const std::string& problem : check.problems)
            why += (why.empty() ? "" : "; ") + problem;
        throw adodb::Error("The table " + QuotedName(table.name) + " was not made: " + why + ".");
    }
    plan.notCarried.insert(plan.notCarried.end(), check.notes.begin(), check.notes.end());
    return plan;
}

void CreateAndCopy(SendSession& session, SentTable& table) {
    TablePlan plan;
    const bool built = session.Step(session.lines().buildCreate, [&] {
        plan = PlanOf(session, table);
        session.statement() = plan.createTable;
    });
    if (!built)
        return;
    session.BeforeTable(table, plan);
    if (session.ended())
        return;
    session.statement() = plan.createTable;
    session.listener().SchemaStatement(plan.createTable);
    if (session.request().dryRun)
        return DryRun(session, table, plan);
    // A target busy with another program's work is waited for, as the rows are.
    TransientBudget budget = session.StatementBudget();
    session.NoteCreating(table.entry);
    table.created = session.Step(session.lines().createTable, [&] {
        WaitOutTransient([&] { session.Target().Execute(plan.createTable); }, budget);
    });
    if (!table.created && session.request().freshTablesOnly)
        return;
    if (table.created)
        session.foreignKeys().Written(table.name);
    if (!session.ended())
        CopyNewRows(session, table, plan);
    // After a lost connection the steps are named as never tried.
    if (table.created)
        session.AfterRows(table, plan);
    session.CloseSource(table.rows);
    // The list learns of the table even when the run stops here: it was created.
    if (!session.ended() || table.created)
        session.Listed(table.name);
}

}  // namespace

void SendFresh(SendSession& session, SentTable& table) {
    // The source is read, under the list entry's own spelling, before anything is dropped:
    // a source that cannot be read leaves the target's table as it was.
    if (session.Step(session.lines().select,
                     [&] {
                         if (!table.schema)
                             session.ReadSchema(table);
                         session.OpenSource(table);
                     }) &&
        DropOld(session, table))
        CreateAndCopy(session, table);
}

}  // namespace korvanta
