// The steps of an exact copy around its rows: what its columns need first, and its keys,
// indexes and numbering after.
#include <algorithm>

#include "engine/send/KeysAndIndexes.h"
#include "engine/send/SendSession.h"

namespace korvanta {

// Where a collation cannot be made, the table is made without it, that named and the table
// incomplete.
void SendSession::BeforeTable(SentTable& table, TablePlan& plan) {
    bool made = true;
    for (const SchemaStep& step : plan.beforeTable) {
        listener_.SchemaStatement(step.statement);
        if (request_.dryRun)
            continue;
        StepResult result = RunSchemaStep(Target(), step, StatementBudget());
        // Two sends that make the same collation at once: the second's IF NOT EXISTS may
        // meet the first's half-made one. Once more finds it made.
        if (result.kind == StepResult::Kind::kRefused)
            result = RunSchemaStep(Target(), step, StatementBudget());
        if (result.Made())
            continue;
        made = false;
        listener_.Failed(lines_.schema, StepFailure(step, table.name, result), step.statement);
        if (result.kind == StepResult::Kind::kConnectionLost) {
            ended_ = true;
            return;
        }
    }
    if (made)
        return;
    table.outcome.stepsMissing = true;
    plan.createTable = plan.createTableFallback;
    std::erase_if(plan.carried, [&](const std::string& item) {
        return std::find(plan.collated.begin(), plan.collated.end(), item) != plan.collated.end();
    });
    plan.notCarried.insert(plan.notCarried.end(), plan.withoutCollations.begin(),
                           plan.withoutCollations.end());
}

// Each step is reported where it fails with the rows that break it (the rows stay); the
// foreign keys wait for every table.
void SendSession::AfterRows(SentTable& table, const TablePlan& plan) {
    table.outcome.carried = plan.carried;
    table.outcome.notCarried = plan.notCarried;
    for (const SchemaStep& step : plan.afterRows)
        RunStep(table, step);
    for (const SchemaStep& step : plan.sequences)
        RunStep(table, step);
    for (const SchemaStep& step : plan.foreignKeys) {
        if (ended_ && !request_.dryRun)
            NotTried(table, step);
        else
            foreignKeys_->Add({table.entry, table.name, step});
    }
}

void SendSession::RunStep(SentTable& table, const SchemaStep& step) {
    if (ended_ && !request_.dryRun)
        return NotTried(table, step);
    listener_.SchemaStatement(step.statement);
    if (request_.dryRun)
        return;
    StepDone(table, step, RunSchemaStep(Target(), step, StatementBudget()));
}

// A step the run ended before: named, and the table incomplete.
void SendSession::NotTried(SentTable& table, const SchemaStep& step) {
    table.outcome.notCarried.push_back(step.what + ": not tried: the connection was lost");
    table.outcome.stepsMissing = true;
}

void SendSession::StepDone(SentTable& table, const SchemaStep& step, const StepResult& result) {
    if (result.Made()) {
        table.outcome.carried.push_back(step.what + result.NameNote());
        return;
    }
    table.outcome.stepsMissing = true;
    table.outcome.notCarried.push_back(step.what + ": " + result.Why());
    listener_.Failed(lines_.schema, StepFailure(step, table.name, result), step.statement);
    if (result.kind == StepResult::Kind::kConnectionLost)
        ended_ = true;
}

}  // namespace korvanta
