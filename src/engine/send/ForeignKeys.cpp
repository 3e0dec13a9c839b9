#include "engine/send/ForeignKeys.h"

#include <algorithm>

#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/send/ReportLines.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/connections/Sybase.h"
#include "engine/tables/TableNames.h"
#include "engine/send/TransferRun.h"
#include "sql/model/SqlName.h"

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

void AddForeignKeys(adodb::Connection& target, const SendRequest& request, ForeignKeyQueue& queue,
                    TransferListener& listener) {
    const int line = SendLinesTo(request.target).schema;
    for (const PendingForeignKey& key : queue.Take()) {
        const std::string& referred = key.step.table;
        const bool there =
            queue.WasWritten(referred) ||
            (request.target == Side::PostgreSQL
                 ? std::find(request.targetTables.begin(), request.targetTables.end(), referred) !=
                       request.targetTables.end()
                 : NamesContain(request.targetTables, referred));
        if (!there) {
            listener.ForeignKeyFinished(key.source,
                                        key.step.what + ": the table is not on the target", false);
            continue;
        }
        listener.SchemaStatement(key.step.statement);
        if (request.dryRun)
            continue;
        TransientBudget budget;
        budget.limit = std::chrono::seconds(request.settings.transientWaitSeconds);
        std::string error;
        const std::string why = RunSchemaStep(target, key.step, budget, error);
        if (why.empty()) {
            listener.ForeignKeyFinished(key.source, key.step.what, true);
            continue;
        }
        listener.ForeignKeyFinished(key.source, key.step.what + ": " + why, false);
        listener.Failed(
            line,
            adodb::Error("The " + key.step.what + " of table " + QuotedName(key.target) +
                         " could not be made: " + why + ".\n" + error),
            key.step.statement);
    }
}

void AddForeignKeys(const SendRequest& request, ForeignKeyQueue& queue,
                    TransferListener& listener) {
    try {
        adodb::Connection target;
        target.CommandTimeout = request.settings.commandTimeoutSeconds;
        target.ConnectionTimeout = request.settings.commandTimeoutSeconds;
        if (request.target == Side::PostgreSQL)
            OpenPostgreSQL(target, request.values);
        else
            OpenSybase(target, request.values);
        AddForeignKeys(target, request, queue, listener);
        target.Close();
    } catch (const std::exception& e) {
        listener.Failed(SendLinesTo(request.target).schema, AsError(e), std::string());
    }
}

}  // namespace korvanta
