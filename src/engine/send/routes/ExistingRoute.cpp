// The route of rows into a table that stands on the target: truncate, append or merge. The
// source's read is open and has answered before anything of the target changes.
#include "adodb/Recordset.h"
#include "engine/schema/SchemaReader.h"
#include "engine/send/routes/MergeSteps.h"
#include "engine/send/routes/Routes.h"
#include "sql/model/SqlName.h"
#include "sql/statements/MergeStatements.h"
#include "sql/statements/RouteStatements.h"

namespace korvanta {

namespace {

// The source's columns, as its catalog says what they hold, and how they fit the target's
// table. False, reported, when no row may go in.
bool FitTable(SendSession& session, SentTable& table, std::vector<std::string>& read,
              TableSchema& target, ExistingFit& fit) {
    std::vector<SourceField> fields;
    if (!session.Step(session.lines().select, [&] {
            fields = TableRows::Describe(session.Source(), session.SourceDialect(), table.entry);
            table.schema =
                ReadTableSchema(session.Source(), session.SourceDialect(), table.entry, fields);
        }))
        return false;
    for (const SourceField& field : fields)
        read.push_back(field.name);
    if (!session.Step(session.lines().intoExisting, [&] { target = session.TargetSchema(table); }))
        return false;
    fit = FitExisting(read, *table.schema, target);
    if (fit.problems.empty())
        return true;
    std::string why;
    for (const std::string& problem : fit.problems)
        why += (why.empty() ? "" : "; ") + problem;
    session.RefuseExisting(table, why);
    return false;
}

// Empties the table, keeping its definition; false when that failed (reported).
bool Truncate(SendSession& session, const SentTable& table) {
    const std::string empty = session.TargetDialect().EmptyTableStatement(QuotedName(table.name));
    session.listener().SchemaStatement(empty);
    if (session.request().dryRun)
        return true;
    TransientBudget budget = session.StatementBudget();
    return session.Step(
        session.lines().intoExisting,
        [&] {
            session.WithKeysChecked(
                [&] { WaitOutTransient([&] { session.Target().Execute(empty); }, budget); });
        },
        &empty);
}

// The rows' condition: the table's own, and for --since the rows at or after the target's
// largest value. False when that could not be learned (reported).
bool ReadCondition(SendSession& session, const SentTable& table,
                   const std::vector<std::string>& read, const ExistingFit& fit,
                   std::string& since) {
    if (table.existing.mode != IntoExisting::Mode::kMerge || table.existing.since.empty())
        return true;
    return session.Step(session.lines().intoExisting,
                        [&] { since = SinceCondition(session, table, read, fit); });
}

// A merge's outcome: of the landed rows, those inserted, updated and left as they were; then,
// once the source was read to its end, what it no longer holds deleted.
void AfterMerge(SendSession& session, SentTable& table, const RowCopy::Tally& tally,
                const ExistingFit& fit, const std::vector<std::string>& read,
                const std::vector<std::string>& key) {
    table.outcome.inserted = tally.inserted;
    table.outcome.unchanged = tally.unchanged;
    table.outcome.updated = tally.landed - tally.inserted - tally.unchanged;
    if (table.existing.deleteMissing && tally.complete && !session.ended() &&
        !session.listener().StopRequested())
        DeleteMissing(session, table, fit, read, key);
}

Into IntoOf(IntoExisting::Mode mode) {
    switch (mode) {
        case IntoExisting::Mode::kTruncate:
            return Into::kTruncate;
        case IntoExisting::Mode::kAppend:
            return Into::kAppend;
        case IntoExisting::Mode::kMerge:
            return Into::kMerge;
        case IntoExisting::Mode::kAsk:
            break;
    }
    return Into::kNone;
}

}  // namespace

void SendIntoExisting(SendSession& session, SentTable& table) {
    const bool merge = table.existing.mode == IntoExisting::Mode::kMerge;
    table.outcome.into = IntoOf(table.existing.mode);
    std::vector<std::string> read;
    TableSchema target;
    ExistingFit fit;
    if (!FitTable(session, table, read, target, fit))
        return;
    if (merge && IsStagingName(table.name))
        return session.RefuseExisting(table,
                                      "a merge stages its rows in a temporary table of that "
                                      "name, which would hide it");
    std::vector<std::string> key;
    if (merge && (key = MergeKeyOf(session, table, target, fit, read)).empty())
        return;
    std::string since;
    if (!ReadCondition(session, table, read, fit, since))
        return;
    const bool dryRun = session.request().dryRun;
    if (!dryRun && !session.Step(session.lines().select, [&] { session.OpenSource(table, since); }))
        return;
    if (!dryRun)
        session.NoteWriting(table.entry);
    if (table.existing.mode == IntoExisting::Mode::kTruncate && !Truncate(session, table))
        return;
    if (dryRun) {
        table.outcome.complete = true;
        return;
    }
    const RowCopy::Tally tally = session.CopyTable(table, {.table = table.name,
                                                           .read = read,
                                                           .columns = fit.columns,
                                                           .binary = fit.binary,
                                                           .rules = fit.rules,
                                                           .mergeKey = key});
    session.CloseSource(table.rows);
    if (merge)
        AfterMerge(session, table, tally, fit, read, key);
}

}  // namespace korvanta
