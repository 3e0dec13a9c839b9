#include "engine/send/ForeignKeys.h"

#include <algorithm>
#include <unordered_set>

#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/send/ReportLines.h"
#include "engine/send/TableWriterLock.h"
#include "engine/tables/TableNames.h"

namespace korvanta {

void ForeignKeyQueue::Add(PendingForeignKey key) {
    std::lock_guard lock(mutex_);
    keys_.push_back(std::move(key));
}

void ForeignKeyQueue::Written(const std::string& table) {
    std::lock_guard lock(mutex_);
    written_.push_back(table);
}

bool ForeignKeyQueue::WasWritten(std::string_view table) const {
    std::lock_guard lock(mutex_);
    return std::find(written_.begin(), written_.end(), table) != written_.end();
}

bool ForeignKeyQueue::Empty() const {
    std::lock_guard lock(mutex_);
    return keys_.empty();
}

std::vector<PendingForeignKey> ForeignKeyQueue::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(keys_, {});
}

namespace {

// The key, with no other send writing either of its tables meanwhile (PostgreSQL's writer
// locks, taken in the order of their keys so that two such steps never wait on each other):
// a table another send is still filling is not taken for this one's.
StepResult RunLocked(adodb::Connection& connection, const ForeignKeyTarget& target,
                     const PendingForeignKey& key) {
    std::optional<TableWriterLock> first, second;
    if (target.side == Side::PostgreSQL) {
        try {
            std::string a = key.target, b = key.step.table;
            if (TableWriterLock::Key(b) < TableWriterLock::Key(a))
                std::swap(a, b);
            first.emplace(connection, a);
            if (TableWriterLock::Key(a) != TableWriterLock::Key(b))
                second.emplace(connection, b);
        } catch (const std::exception& e) {
            StepResult refused;
            refused.kind = StepResult::Kind::kRefused;
            refused.message = AsError(e).what();
            return refused;
        }
    }
    return RunSchemaStep(connection, key.step, BudgetFor(target.settings));
}

}  // namespace

void AddForeignKeys(adodb::Connection& connection, const ForeignKeyTarget& target,
                    ForeignKeyQueue& queue, TransferListener& listener) {
    const int line = SendLinesTo(target.side).schema;
    // Looked up once per key: made once, not searched through for each.
    const std::unordered_set<std::string> exactly(target.tables.begin(), target.tables.end());
    const CaseBlindNames ignoringCase =
        target.side == Side::PostgreSQL ? CaseBlindNames() : CaseBlindNames(target.tables);
    for (const PendingForeignKey& key : queue.Take()) {
        const std::string& referred = key.step.table;
        const bool there = queue.WasWritten(referred) ||
                           (target.side == Side::PostgreSQL ? exactly.count(referred) > 0
                                                            : ignoringCase.Contains(referred));
        if (!there) {
            listener.ForeignKeyFinished(key.source,
                                        key.step.what + ": the table is not on the target",
                                        TransferListener::KeyFate::kLeftOut);
            continue;
        }
        listener.SchemaStatement(key.step.statement);
        if (target.dryRun)
            continue;
        const StepResult result = RunLocked(connection, target, key);
        if (result.Made()) {
            listener.ForeignKeyFinished(key.source, key.step.what + result.NameNote(),
                                        TransferListener::KeyFate::kMade);
            continue;
        }
        listener.ForeignKeyFinished(key.source, key.step.what + ": " + result.Why(),
                                    TransferListener::KeyFate::kNotMade);
        listener.Failed(line, StepFailure(key.step, key.target, result), key.step.statement);
    }
}

void AddForeignKeys(const ForeignKeyTarget& target, ForeignKeyQueue& queue,
                    TransferListener& listener) {
    // No login, and no server to reach, for a run that found no key to add.
    if (queue.Empty())
        return;
    try {
        adodb::Connection connection;
        connection.CommandTimeout = target.settings.commandTimeoutSeconds;
        connection.ConnectionTimeout = target.settings.commandTimeoutSeconds;
        if (target.side == Side::PostgreSQL)
            OpenPostgreSQL(connection, target.values);
        else
            OpenSybase(connection, target.values);
        AddForeignKeys(connection, target, queue, listener);
        connection.Close();
    } catch (const std::exception& e) {
        listener.Failed(SendLinesTo(target.side).schema, AsError(e), std::string());
    }
}

}  // namespace korvanta
