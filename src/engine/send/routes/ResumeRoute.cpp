// The routes of a send that carries on a stopped one: a table it finished stays as it is;
// one it cut off goes on after the last row the target holds.
#include "adodb/Recordset.h"
#include "engine/send/routes/Routes.h"
#include "sql/model/SqlName.h"
#include "sql/statements/RouteStatements.h"

namespace korvanta {

namespace {

// Where the copy stopped: the target's last row in the key's order (its values as text;
// empty for an empty table), and how many rows it holds.
struct StoppedAt {
    std::vector<std::string> last;
    long long rows = 0;
};

StoppedAt LastRowOf(SendSession& session, const SentTable& table) {
    StoppedAt at;
    adodb::Recordset answer =
        session.Target().Execute(LastKeyQuery(session.TargetDialect(), table.name, table.orderKey));
    if (!answer.IsEOF()) {
        for (int j = 0; j < answer.Fields().Count(); ++j)
            at.last.emplace_back(answer.Fields()[j].Value().Text());
    }
    answer.Close();
    adodb::Recordset count = session.Target().Execute(CountRowsQuery(table.name));
    at.rows = count.IsEOF() ? 0 : std::stoll(std::string(count.Fields()[0].Value().Text()));
    return at;
}

// The source's rows after the target's last key, as a condition in the source's SQL; nullopt,
// reported, when the key's last value is no literal of its kind.
std::optional<std::string> AfterLastKey(SendSession& session, const SentTable& table,
                                        const StoppedAt& at) {
    std::string problem;
    const std::optional<std::vector<std::string>> literals =
        KeyLiterals(session.SourceDialect(), table.orderKey, at.last, problem);
    if (!literals) {
        session.RefuseExisting(table, problem);
        return std::nullopt;
    }
    return AfterKey(session.OrderTerms(table), *literals);
}

// The source's columns as it reads them, and how they fit the table the stopped send made.
bool FitMade(SendSession& session, SentTable& table, const TableSchema& target,
             std::vector<std::string>& names, ExistingFit& fit) {
    if (!session.Step(session.lines().select, [&] {
            for (const SourceField& field :
                 TableRows::Describe(session.Source(), session.SourceDialect(), table.entry))
                names.push_back(field.name);
        }))
        return false;
    fit = FitExisting(names, *table.schema, target);
    if (fit.problems.empty())
        return true;
    session.RefuseExisting(table, fit.problems.front());
    return false;
}

void GoOn(SendSession& session, SentTable& table) {
    TableSchema target;
    StoppedAt at;
    if (!session.Step(session.lines().intoExisting, [&] {
            target = session.TargetSchema(table);
            at = LastRowOf(session, table);
        }))
        return;
    const std::optional<std::string> after = AfterLastKey(session, table, at);
    std::vector<std::string> names;
    ExistingFit fit;
    if (!after || !FitMade(session, table, target, names, fit))
        return;
    table.outcome.resumedAfter = at.rows;
    if (!session.Step(session.lines().select, [&] { session.OpenSource(table, *after); }))
        return;
    TablePlan plan;
    if (!session.Step(session.lines().buildCreate, [&] {
            plan = session.PlanExact(table);
            session.DropStepsMade(table, plan);
        }))
        return;
    session.CopyTable(table, {.table = table.name,
                              .read = names,
                              .columns = fit.columns,
                              .binary = fit.binary,
                              .rules = fit.rules});
    // The table was made before: its keys and indexes come after all of its rows, as then.
    if (table.outcome.complete || session.ended())
        session.AfterRows(table, plan);
}

}  // namespace

void LeaveDoneBefore(SendSession& session, SentTable& table) {
    table.outcome.doneBefore = true;
    table.outcome.complete = true;
    // Its foreign keys wait for every table, as a fresh copy's do; those made are not made
    // again.
    if (!table.exact || !session.Step(session.lines().select, [&] { session.ReadSchema(table); }))
        return;
    TablePlan plan;
    if (session.Step(session.lines().buildCreate, [&] {
            plan = session.PlanExact(table);
            session.DropStepsMade(table, plan);
        })) {
        for (const SchemaStep& step : plan.foreignKeys)
            session.foreignKeys().Add({table.entry, table.name, step});
    }
}

// The rows landed in key order, so the target's largest key is where the copy stopped: the
// rows after it are read and added, then the steps not yet made are made.
void ResumeAfterKey(SendSession& session, SentTable& table) {
    GoOn(session, table);
    session.CloseSource(table.rows);
}

void RefuseCutAppend(SendSession& session, SentTable& table) {
    session.Report(
        session.lines().intoExisting,
        "The stopped send was appending the rows of " + QuotedName(table.entry) + " to the table " +
            QuotedName(table.name) +
            ": the rows it added cannot be told from the table's own, so --resume does not carry "
            "on an append. Restore the table and send it again, or merge it (--if-exists merge), "
            "which does not double a row.");
}

}  // namespace korvanta
