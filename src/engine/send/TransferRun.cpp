#include "engine/send/TransferRun.h"

#include <chrono>
#include <optional>

#include "engine/send/SendSession.h"
#include "engine/send/TableFate.h"
#include "engine/send/TableWriterLock.h"
#include "engine/send/routes/ChooseRoute.h"
#include "engine/send/routes/Routes.h"
#include "sql/model/Condition.h"
#include "sql/model/SqlName.h"

namespace korvanta {

namespace {

// Takes the tables one after the other: each is admitted (its condition, its name, its
// writer's lock), its route chosen from what is known of it, and the route run.
class TransferRun {
  public:
    TransferRun(const SendRequest& request, TransferListener& listener)
        : session_(request, listener), request_(request), listener_(listener) {}

    void Run();

  private:
    void SendTable(const std::string& entry);
    SentTable TableOf(const std::string& entry) const;
    // The checks before anything of the table runs; false when it goes no further.
    bool Admit(SentTable& table, std::optional<TableWriterLock>& writerLock);
    TableFacts FactsOf(const SentTable& table) const;
    // The route, once the questions it needs are answered; nullopt when answering failed.
    std::optional<Route> RouteOf(SentTable& table, TableFacts facts);
    void Take(SentTable& table, Route route);
    void Finished(SentTable& table);

    SendSession session_;
    const SendRequest& request_;
    TransferListener& listener_;
    std::chrono::steady_clock::time_point tableStart_;
};

void TransferRun::Run() {
    if (!session_.OpenConnections())
        return;  // every statement would go to a closed connection: one report is enough
    std::size_t taken = 0;
    std::string entry;
    const auto next = [&] {
        if (request_.nextTable)
            return request_.nextTable(entry);
        if (taken >= request_.tables.size())
            return false;
        entry = request_.tables[taken++];
        return true;
    };
    while (!session_.ended() && !listener_.StopRequested() && next())
        SendTable(entry);
    // The foreign keys of this send's tables, once all of them are in.
    if (!session_.ended() && !request_.foreignKeys)
        AddForeignKeys(session_.Target(), ForeignKeyTargetOf(request_), session_.foreignKeys(),
                       listener_);
    session_.CloseConnections();
}

// The table's settings: the request's, or its entry's own. Its name is the one the target
// will store (PostgreSQL keeps 63 bytes of it): the question, DROP, CREATE and the list must
// all see that very table.
SentTable TransferRun::TableOf(const std::string& entry) const {
    const auto own = request_.tableSettings.find(entry);
    const TableSettings* settings = own == request_.tableSettings.end() ? nullptr : &own->second;
    SentTable table(entry, StoredTableName(request_.target, session_.TargetNameOf(entry)));
    table.existing = settings && settings->existing ? *settings->existing : request_.existing;
    table.exact =
        settings && settings->exactSchema ? *settings->exactSchema : request_.settings.exactSchema;
    table.where = settings ? settings->where : std::string();
    return table;
}

bool TransferRun::Admit(SentTable& table, std::optional<TableWriterLock>& writerLock) {
    if (const std::optional<std::string> problem = ConditionProblem(table.where)) {
        session_.Report(session_.lines().select, "The table " + QuotedName(table.entry) +
                                                     " was not sent: " + *problem + ".");
        return false;
    }
    if (request_.freshTablesOnly && !session_.ClaimTarget(table))
        return false;
    // No other send writes this table until this one is done with it.
    return !session_.toPostgreSQL() || request_.dryRun ||
           session_.Step(session_.lines().lockTable,
                         [&] { writerLock.emplace(session_.Target(), table.name); });
}

void TransferRun::SendTable(const std::string& entry) {
    tableStart_ = std::chrono::steady_clock::now();
    listener_.TableStarted(entry);
    if (request_.statementPerTable)
        session_.statement().clear();
    SentTable table = TableOf(entry);
    std::optional<TableWriterLock> writerLock;
    if (Admit(table, writerLock)) {
        if (const std::optional<std::string> spelled = session_.Spelling(table.name))
            table.WrittenAs(*spelled);
        if (const std::optional<Route> route = RouteOf(table, FactsOf(table)))
            Take(table, *route);
    }
    if (session_.ended() && writerLock)
        writerLock->Abandon();
    Finished(table);
}

TableFacts TransferRun::FactsOf(const SentTable& table) const {
    TableFacts facts{.onTarget = session_.Spelling(table.name).has_value(),
                     .mode = table.existing.mode,
                     .resuming = request_.resume.has_value()};
    if (const std::optional<ResumeState>& state = request_.resume) {
        facts.finishedBefore = state->finished.count(table.entry) > 0;
        facts.createdBefore = state->created.count(table.entry) > 0;
        facts.writingBefore = state->writing.count(table.entry) > 0;
    }
    return facts;
}

std::optional<Route> TransferRun::RouteOf(SentTable& table, TableFacts facts) {
    for (;;) {
        const Route route = ChooseRoute(facts);
        if (route == Route::kAskUser) {
            facts.overwrite = listener_.AskOverwrite(table.name);
            // The time the question waited for its answer is not the table's.
            tableStart_ = std::chrono::steady_clock::now();
        } else if (route == Route::kReadKey) {
            session_.LearnDialects();
            if (!session_.Step(session_.lines().select, [&] { session_.ReadSchema(table); }))
                return std::nullopt;
            facts.hasOrderKey = !table.orderKey.empty();
        } else {
            return route;
        }
    }
}

// Why --verify cannot vouch for a table the route writes only in part: the rows that were
// there, or that a stopped send wrote (and the rows it refused), are not this send's to know.
const char* UnverifiedWhy(Route route) {
    switch (route) {
        case Route::kTruncate:
        case Route::kAppend:
        case Route::kMerge:
            return "its rows went into a table that stood there";
        case Route::kDoneBefore:
        case Route::kResumeAfterKey:
            return "a stopped send wrote its rows, or some of them";
        default:
            return "";
    }
}

void TransferRun::Take(SentTable& table, Route route) {
    if (request_.settings.verify && !request_.dryRun)
        table.outcome.notVerified = UnverifiedWhy(route);
    if (route == Route::kSkip) {
        table.outcome.skipped = true;
        return;
    }
    if (route == Route::kRefuseCutAppend)
        return RefuseCutAppend(session_, table);
    session_.LearnDialects();
    switch (route) {
        case Route::kTruncate:
        case Route::kAppend:
        case Route::kMerge:
            return SendIntoExisting(session_, table);
        case Route::kDoneBefore:
            return LeaveDoneBefore(session_, table);
        case Route::kResumeAfterKey:
            return ResumeAfterKey(session_, table);
        case Route::kResumeFromStart:
            table.outcome.restarted = true;
            table.overwrite = true;
            return SendFresh(session_, table);
        case Route::kReplace:
            table.overwrite = true;
            return SendFresh(session_, table);
        default:
            return SendFresh(session_, table);
    }
}

// The journal first: a table the front end shows as finished is one a resume leaves as it is.
void TransferRun::Finished(SentTable& table) {
    TableOutcome& outcome = table.outcome;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tableStart_).count();
    if (request_.journal && !request_.dryRun && FinishedForResume(outcome))
        request_.journal->Finished(table.entry);
    listener_.TableFinished(outcome);
}

}  // namespace

ForeignKeyTarget ForeignKeyTargetOf(const SendRequest& request) {
    return {request.target, request.targetTables, request.dryRun, request.settings, request.values};
}

void SendTables(const SendRequest& request, TransferListener& listener) {
    try {
        TransferRun(request, listener).Run();
    } catch (...) {
        // Nothing may leave the run: whatever escaped its steps is reported like any other
        // failure.
        try {
            listener.Failed(SendLinesTo(request.target).insert, AsError(std::current_exception()),
                            std::string());
        } catch (...) {
        }
    }
}

}  // namespace korvanta
