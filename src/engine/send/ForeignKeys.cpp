#include "engine/send/ForeignKeys.h"

#include <algorithm>

#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/send/ReportLines.h"
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

std::vector<PendingForeignKey> ForeignKeyQueue::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(keys_, {});
}

void AddForeignKeys(adodb::Connection& connection, const ForeignKeyTarget& target,
                    ForeignKeyQueue& queue, TransferListener& listener) {
    const int line = SendLinesTo(target.side).schema;
    for (const PendingForeignKey& key : queue.Take()) {
        const std::string& referred = key.step.table;
        const bool there = queue.WasWritten(referred) ||
                           (target.side == Side::PostgreSQL
                                ? std::find(target.tables.begin(), target.tables.end(), referred) !=
                                      target.tables.end()
                                : NamesContain(target.tables, referred));
        if (!there) {
            listener.ForeignKeyFinished(key.source,
                                        key.step.what + ": the table is not on the target", false);
            continue;
        }
        listener.SchemaStatement(key.step.statement);
        if (target.dryRun)
            continue;
        const StepResult result = RunSchemaStep(connection, key.step, BudgetFor(target.settings));
        if (result.Made()) {
            listener.ForeignKeyFinished(key.source, key.step.what, true);
            continue;
        }
        listener.ForeignKeyFinished(key.source, key.step.what + ": " + result.Why(), false);
        listener.Failed(line, StepFailure(key.step, key.target, result), key.step.statement);
    }
}

void AddForeignKeys(const ForeignKeyTarget& target, ForeignKeyQueue& queue,
                    TransferListener& listener) {
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
