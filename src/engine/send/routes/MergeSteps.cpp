// What a merge does besides its rows: finds its key, reads from --since's point, and
// deletes what the source no longer holds.
#include "engine/send/routes/MergeSteps.h"

#include <algorithm>

#include "adodb/Recordset.h"
#include "engine/send/RepeatedKeys.h"
#include "sql/model/SqlName.h"
#include "sql/statements/MergeStatements.h"
#include "sql/statements/RouteStatements.h"

namespace korvanta {

namespace {

// The key's columns as the source names them, and how their values go.
RowsInto KeysInto(const std::string& staging, const ExistingFit& fit,
                  const std::vector<std::string>& read, const std::vector<std::string>& key) {
    RowsInto into{.table = staging, .columns = key, .writer = RowsInto::Writer::kSameSession};
    for (const std::string& column : key) {
        const std::size_t at =
            std::find(fit.columns.begin(), fit.columns.end(), column) - fit.columns.begin();
        into.read.push_back(read[at]);
        into.binary.push_back(fit.binary[at]);
        into.rules.push_back(fit.rules[at]);
    }
    return into;
}

// The rows without a key among the staged ones deleted, counted first; false when it failed
// (rolled back, reported).
bool RemoveMissing(SendSession& session, const MissingKeys& plan, long long& deleted) {
    adodb::Connection& target = session.Target();
    return session.Step(session.lines().intoExisting, [&] {
        session.statement() = plan.index;
        target.Execute(plan.index);
        session.statement() = plan.remove;
        session.WithKeysChecked([&] {
            target.BeginTrans();
            try {
                adodb::Recordset counted = target.Execute(plan.count);
                deleted = counted.IsEOF()
                              ? 0
                              : std::stoll(std::string(counted.Fields()[0].Value().Text()));
                counted.Close();
                target.Execute(plan.remove);
                target.CommitTrans();
            } catch (...) {
                try {
                    target.RollbackTrans();
                } catch (...) {
                }
                throw;
            }
        });
    });
}

}  // namespace

std::vector<std::string> MergeKeyOf(SendSession& session, const SentTable& table,
                                    const TableSchema& target, const ExistingFit& fit,
                                    const std::vector<std::string>& read) {
    std::string problem;
    std::vector<std::string> key =
        MergeKey(table.existing.key, *table.schema, target, fit, read, problem);
    if (key.empty()) {
        session.RefuseExisting(table, problem);
        return {};
    }
    // Each source row must meet a row of its own: a key that repeats would keep one.
    std::vector<std::string> sourceKey;
    for (const std::string& column : key)
        sourceKey.push_back(
            read[std::find(fit.columns.begin(), fit.columns.end(), column) - fit.columns.begin()]);
    if (!session.Step(session.lines().intoExisting, [&] {
            problem = RepeatedKeys(session.Source(), session.SourceDialect(), *table.schema,
                                   table.where, sourceKey);
        }))
        return {};
    if (!problem.empty()) {
        session.RefuseExisting(table, problem);
        return {};
    }
    return key;
}

std::string SinceCondition(SendSession& session, const SentTable& table,
                           const std::vector<std::string>& read, const ExistingFit& fit) {
    const std::string& since = table.existing.since;
    std::size_t at = std::find(read.begin(), read.end(), since) - read.begin();
    for (std::size_t i = 0; at == read.size() && i < read.size(); ++i) {
        if (SameNameIgnoringCase(read[i], since))
            at = i;
    }
    if (at == read.size())
        throw adodb::Error("The column " + QuotedName(since) + " of --since is not in the table " +
                           QuotedName(table.entry) + ".");
    const ValueKind kind = fit.rules[at].kind;
    adodb::Recordset largest = session.Target().Execute(
        session.TargetDialect().LargestQuery(QuotedName(table.name), fit.columns[at], kind));
    if (largest.IsEOF() || largest.Fields()[0].Value().IsNull())
        return {};  // an empty table: every row
    return session.SourceDialect().AtOrAfter(read[at], largest.Fields()[0].Value().Text(), kind);
}

void DeleteMissing(SendSession& session, SentTable& table, const ExistingFit& fit,
                   const std::vector<std::string>& read, const std::vector<std::string>& key) {
    const MissingKeys plan = PlanMissingKeys(session.TargetDialect(), QuotedName(table.name), key);
    const int line = session.lines().intoExisting;
    const auto notDeleted = [&](const std::string& why) {
        table.outcome.complete = false;
        session.Report(
            line, "No row of the table " + QuotedName(table.name) + " was deleted: " + why + ".");
    };
    if (!session.Step(line, [&] {
            session.Target().Execute(plan.dropStaging);
            session.Target().Execute(plan.createStaging);
        }))
        return notDeleted("the table of the source's keys could not be made");
    const RowsInto into = KeysInto(plan.staging, fit, read, key);
    TableRows keys;
    if (!session.Step(session.lines().select, [&] {
            keys.Open(session.Source(), session.SourceDialectPtr(), table.entry,
                      session.toPostgreSQL() ? nullptr : session.Wire(), {}, into.read);
        }))
        return notDeleted("the source's keys could not be read");
    const RowCopy::Tally tally = session.CopyRows(keys, table.entry, into).tally;
    table.outcome.keysCompared = tally.landed;
    session.CloseSource(keys);
    if (!tally.complete || tally.refused > 0)
        return notDeleted("not every key of the source arrived to be compared");
    long long deleted = 0;
    if (RemoveMissing(session, plan, deleted))
        table.outcome.deleted = deleted;
    else
        table.outcome.complete = false;
    if (!session.ended())
        session.Step(line, [&] { session.Target().Execute(plan.dropStaging); });
}

}  // namespace korvanta
