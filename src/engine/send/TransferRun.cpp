#include "engine/send/TransferRun.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/rows/ArrayInsertWriter.h"
#include "engine/rows/CopyWriter.h"
#include "engine/rows/FailurePolicy.h"
#include "engine/rows/RowCopy.h"
#include "engine/rows/TableRows.h"
#include "engine/schema/SchemaReader.h"
#include "engine/send/ForeignKeys.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/send/ReportLines.h"
#include "engine/send/ReportText.h"
#include "engine/send/TableVerify.h"
#include "engine/send/TableWriterLock.h"
#include "engine/tables/TableNames.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/SqlName.h"
#include "sql/statements/RowStatement.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

namespace {

// One table of a send, from its list entry to its outcome.
struct Table {
    Table(const std::string& entry, std::string stored) : entry(entry), name(std::move(stored)) {
        outcome.source = entry;
        outcome.target = name;
    }
    std::string entry;  // the source list's entry: the table read
    std::string name;   // the working name: the table written, as the target stores it
    TableOutcome outcome;
    TableRows rows;                     // the source table's rows
    bool overwrite = false;             // the target holds it and the user said yes
    bool created = false;               // this send's CREATE TABLE made it
    std::optional<TableSchema> schema;  // an exact copy: the source's, from its catalog
};

class TransferRun {
  public:
    TransferRun(const SendRequest& request, TransferListener& listener)
        : toPostgreSQL_(request.target == Side::PostgreSQL),
          request_(request),
          lines_(SendLinesTo(request.target)),
          listener_(listener),
          targetTables_(request.targetTables),
          claims_(request.claims ? request.claims : std::make_shared<TargetClaims>()),
          foreignKeys_(request.foreignKeys ? request.foreignKeys
                                           : std::make_shared<ForeignKeyQueue>()) {}

    void Run();

  private:
    adodb::Connection& Target() { return toPostgreSQL_ ? postgreSQL_ : sybase_; }
    adodb::Connection& Source() { return toPostgreSQL_ ? sybase_ : postgreSQL_; }
    TransientBudget StatementBudget() const { return BudgetFor(request_.settings); }

    // Runs one step; false when it failed and was reported, quoting `quoted` (the
    // statement that failed) or else the statement buffer. A failure that lost a
    // connection ends the run: every later statement would fail as well.
    template <class F>
    bool Step(int line, F&& step, const std::string* quoted = nullptr) {
        try {
            std::forward<F>(step)();
            return true;
        } catch (...) {
            const adodb::Error error = AsError(std::current_exception());
            listener_.Failed(line, error, quoted != nullptr ? *quoted : statement_);
            if (error.connectionLost())
                ended_ = true;
        }
        return false;
    }

    bool OpenConnections();
    // The dialects of both sides: the ODBC side's from its driver's DBMS name, asked once;
    // the target's as its settings make it. Learned when the first table is sent, so that
    // a send of nothing sends no statement.
    void LearnDialects();
    void SendTable(const std::string& entry);
    bool ClaimTarget(const Table& table);
    bool AskOverwrite(Table& table);
    void OpenSource(Table& table);
    void ReadSchema(Table& table);
    bool DropOld(Table& table);
    void CreateAndCopy(Table& table);
    TablePlan PlanExact(const Table& table);
    void BeforeTable(Table& table, TablePlan& plan);
    void CopyRows(Table& table, const TablePlan& plan);
    void AfterRows(Table& table, const TablePlan& plan);
    void RunStep(Table& table, const SchemaStep& step);
    void ReportCut(const Table& table, const RowCopy::Tally& tally);
    void Verify(Table& table, const std::vector<ValueRule>& rules, const TableChecksum& landed);
    // The step's outcome in the table's summary, its failure reported; false when it lost
    // the connection.
    bool StepDone(Table& table, const SchemaStep& step, const StepResult& result, int line);
    void NotTried(Table& table, const SchemaStep& step);
    void Finished(TableOutcome& outcome);
    std::unique_ptr<BatchWriter> WriterFor(const std::string& table,
                                           const std::vector<bool>& binary);
    PostgresCopyConnection* Wire();
    // The text the target's list shows for a table: PostgreSQL's in lower case.
    std::string ListEntry(const std::string& name) const {
        return toPostgreSQL_ ? LowerCaseName(name) : name;
    }
    void Listed(const std::string& name);
    void Dropped(const std::string& name);

    const bool toPostgreSQL_;
    const SendRequest& request_;
    const SendReportLines& lines_;
    TransferListener& listener_;
    // The target's tables as the run knows them: the list it was given, and the tables it
    // created under the names the target stores (not the list's lower-case entries).
    std::vector<std::string> targetTables_;
    std::shared_ptr<TargetClaims> claims_;
    std::shared_ptr<ForeignKeyQueue> foreignKeys_;
    std::shared_ptr<const Dialect> sourceDialect_;
    std::shared_ptr<const Dialect> targetDialect_;
    std::string statement_;  // the last CREATE TABLE or INSERT built, quoted by the report
    adodb::Connection postgreSQL_;
    adodb::Connection sybase_;
    std::unique_ptr<PostgresCopyConnection> copyConnection_;
    bool ended_ = false;
    std::chrono::steady_clock::time_point tableStart_;
};

void TransferRun::Finished(TableOutcome& outcome) {
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tableStart_).count();
    listener_.TableFinished(outcome);
}

void TransferRun::Run() {
    if (!OpenConnections())
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
    while (!ended_ && !listener_.StopRequested() && next())
        SendTable(entry);
    copyConnection_.reset();
    if (ended_)
        return;  // a lost connection: the open objects are dropped without more reports
    // The foreign keys of this send's tables, once all of them are in.
    if (!request_.foreignKeys)
        AddForeignKeys(Target(), ForeignKeyTargetOf(request_), *foreignKeys_, listener_);
    Step(lines_.closeSybase, [&] { sybase_.Close(); });
    Step(lines_.closePostgreSQL, [&] { postgreSQL_.Close(); });
}

bool TransferRun::OpenConnections() {
    // PostgreSQL first in both directions. Both read through cursors of the server, so
    // that a source streams however large it is.
    const int timeout = request_.settings.commandTimeoutSeconds;
    postgreSQL_.CursorLocation = adodb::adUseServer;
    postgreSQL_.CommandTimeout = timeout;
    postgreSQL_.ConnectionTimeout = timeout;
    if (!Step(lines_.openPostgreSQL, [&] { OpenPostgreSQL(postgreSQL_, request_.values); }))
        return false;
    sybase_.CursorLocation = adodb::adUseServer;
    sybase_.CommandTimeout = timeout;
    sybase_.ConnectionTimeout = timeout;
    return Step(lines_.openSybase, [&] { OpenSybase(sybase_, request_.values); });
}

void TransferRun::LearnDialects() {
    if (targetDialect_)
        return;
    std::shared_ptr<const Dialect> odbc = DialectOfDataSource(sybase_);
    std::shared_ptr<const Dialect> postgreSQL = DialectOf(Side::PostgreSQL, {});
    sourceDialect_ = toPostgreSQL_ ? odbc : postgreSQL;
    targetDialect_ = toPostgreSQL_ ? postgreSQL : odbc;
    // Values are written as the target reads them back unchanged: what cannot be learned
    // is taken as the standard.
    if (const std::string query = targetDialect_->SettingQuery(); !query.empty()) {
        try {
            adodb::Recordset setting = Target().Execute(query);
            if (!setting.IsEOF())
                targetDialect_ = targetDialect_->WithSetting(setting.Fields()[0].Value().Text());
        } catch (...) {
        }
    }
}

void TransferRun::Listed(const std::string& name) {
    targetTables_.push_back(name);
    listener_.TableListed(ListEntry(name));
}

void TransferRun::Dropped(const std::string& name) {
    // The list loses the entries equal to the name as it spells new tables: for
    // PostgreSQL the lower-case name, so an entry in capitals stays there.
    std::erase(targetTables_, name);
    listener_.TableDropped(ListEntry(name));
}

void TransferRun::SendTable(const std::string& entry) {
    tableStart_ = std::chrono::steady_clock::now();
    listener_.TableStarted(entry);
    if (request_.statementPerTable)
        statement_.clear();
    // The name the target will store: PostgreSQL keeps 63 bytes of it, and the question,
    // DROP, CREATE and the list must all see that very table.
    Table table(entry, StoredTableName(request_.target, entry));
    if (request_.freshTablesOnly && !ClaimTarget(table)) {
        Finished(table.outcome);
        return;
    }
    // No other send writes this table until this one is done with it.
    std::optional<TableWriterLock> writerLock;
    if (toPostgreSQL_ && !request_.dryRun &&
        !Step(lines_.lockTable, [&] { writerLock.emplace(Target(), table.name); })) {
        Finished(table.outcome);
        return;
    }
    if (!AskOverwrite(table)) {
        Finished(table.outcome);
        return;
    }
    LearnDialects();
    // The source is read, under the list entry's own spelling, before anything is dropped:
    // a source that cannot be read leaves the target's table as it was.
    if (Step(lines_.select,
             [&] {
                 OpenSource(table);
                 ReadSchema(table);
             }) &&
        DropOld(table))
        CreateAndCopy(table);
    Finished(table.outcome);
}

// Fresh tables only: a table that would land on one another table of this run already
// claimed is reported and not sent. False then.
bool TransferRun::ClaimTarget(const Table& table) {
    const std::optional<std::string> earlier = claims_->Claim(table.name, table.entry);
    if (!earlier)
        return true;
    listener_.Failed(lines_.createTable,
                     adodb::Error("The tables " + QuotedName(*earlier) + " and " +
                                  QuotedName(table.entry) + " would both be written to the table " +
                                  QuotedName(table.name) + ", as the target compares names; " +
                                  QuotedName(table.entry) + " was not sent."),
                     statement_);
    return false;
}

// When the target holds the table, its own spelling of the name is used from here on (the
// last match wins), and the user is asked. False when the table is skipped.
bool TransferRun::AskOverwrite(Table& table) {
    if (!NamesContain(targetTables_, table.name))
        return true;
    for (const std::string& name : targetTables_) {
        if (SameNameIgnoringCase(name, table.name))
            table.name = name;
    }
    table.outcome.target = table.name;
    const bool yes = listener_.AskOverwrite(table.name);
    // The time the question waited for its answer is not the table's.
    tableStart_ = std::chrono::steady_clock::now();
    table.outcome.skipped = !yes;
    table.overwrite = yes;
    return yes;
}

// Opens the rows of the entry's table on the source: its own rows, each value as the
// source holds it (TableRows).
void TransferRun::OpenSource(Table& table) {
    table.rows.Open(Source(), sourceDialect_, table.entry, toPostgreSQL_ ? nullptr : Wire());
}

// An exact copy reads the source's own catalog, over the same connection.
void TransferRun::ReadSchema(Table& table) {
    if (request_.settings.exactSchema) {
        table.schema = ReadTableSchema(Source(), *sourceDialect_, table.entry, table.rows.Fields());
    }
}

// Drops the target's table when the user said so. False when the table goes no further: a
// lost connection, or a DROP refused in a send that writes only fresh tables; otherwise the
// entry goes whether or not the DROP went through, as the list has always done.
bool TransferRun::DropOld(Table& table) {
    if (!table.overwrite)
        return true;
    const std::string drop = "DROP TABLE " + QuotedName(table.name);
    listener_.SchemaStatement(drop);
    if (request_.dryRun)
        return true;
    TransientBudget budget = StatementBudget();
    const bool dropped = Step(
        lines_.dropTable, [&] { WaitOutTransient([&] { Target().Execute(drop); }, budget); },
        &drop);
    if (ended_ || (!dropped && request_.freshTablesOnly))
        return false;
    Dropped(table.name);
    return true;
}

void TransferRun::CreateAndCopy(Table& table) {
    TablePlan plan;
    const bool built = Step(lines_.buildCreate, [&] {
        plan = table.schema ? PlanExact(table)
                            : PlanSimpleTable(request_.target, table.name, table.rows.Fields());
        statement_ = plan.createTable;
    });
    if (!built)
        return;
    BeforeTable(table, plan);
    if (ended_)
        return;
    statement_ = plan.createTable;
    listener_.SchemaStatement(statement_);
    if (request_.dryRun) {
        // As if the table stood there now: a foreign key to it is told too.
        foreignKeys_->Written(table.name);
        table.outcome.complete = true;
        AfterRows(table, plan);
        return;
    }
    // A target busy with another program's work is waited for, as the rows are.
    TransientBudget budget = StatementBudget();
    table.created = Step(lines_.createTable,
                         [&] { WaitOutTransient([&] { Target().Execute(statement_); }, budget); });
    if (!table.created && request_.freshTablesOnly)
        return;
    if (table.created)
        foreignKeys_->Written(table.name);
    if (!ended_)
        CopyRows(table, plan);
    // After a lost connection the steps are named as never tried.
    if (table.created)
        AfterRows(table, plan);
    if (!ended_)
        Step(lines_.closeRecordset, [&] { table.rows.Close(); });
    // The list learns of the table even when the run stops here: it was created.
    if (!ended_ || table.created)
        Listed(table.name);
}

// The exact copy's plan of the table: a foreign key of a table that goes to SQLite is
// written with the table, if the table it refers to is on the target or in the send.
TablePlan TransferRun::PlanExact(const Table& table) {
    const auto onTarget = [&](std::string_view name) {
        const std::string stored = StoredTableName(request_.target, name);
        if (NamesContain(targetTables_, stored) || foreignKeys_->WasWritten(stored))
            return true;
        for (const std::string& sent : request_.tables) {
            if (SameNameIgnoringCase(StoredTableName(request_.target, sent), stored))
                return true;
        }
        return false;
    };
    return PlanExactTable(*table.schema, table.name, *targetDialect_, onTarget);
}

// What the table's columns name that the target may lack (a collation): made first; where
// it cannot be made, the table is made without it, that named and the table incomplete.
void TransferRun::BeforeTable(Table& table, TablePlan& plan) {
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

// Keys, indexes and the identity's numbering after the rows, each reported where it fails
// with the rows that break it (the rows stay); the foreign keys wait for every table.
void TransferRun::AfterRows(Table& table, const TablePlan& plan) {
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

void TransferRun::RunStep(Table& table, const SchemaStep& step) {
    if (ended_ && !request_.dryRun)
        return NotTried(table, step);
    listener_.SchemaStatement(step.statement);
    if (request_.dryRun)
        return;
    StepDone(table, step, RunSchemaStep(Target(), step, StatementBudget()), lines_.schema);
}

// A step the run ended before: named, and the table incomplete.
void TransferRun::NotTried(Table& table, const SchemaStep& step) {
    table.outcome.notCarried.push_back(step.what + ": not tried: the connection was lost");
    table.outcome.stepsMissing = true;
}

bool TransferRun::StepDone(Table& table, const SchemaStep& step, const StepResult& result,
                           int line) {
    if (result.Made()) {
        table.outcome.carried.push_back(step.what + result.NameNote());
        return true;
    }
    table.outcome.stepsMissing = true;
    table.outcome.notCarried.push_back(step.what + ": " + result.Why());
    listener_.Failed(line, StepFailure(step, table.name, result), step.statement);
    if (result.kind == StepResult::Kind::kConnectionLost)
        ended_ = true;
    return !ended_;
}

void TransferRun::CopyRows(Table& table, const TablePlan& plan) {
    std::vector<std::string> names;
    for (const SourceField& field : table.rows.Fields())
        names.push_back(field.name);
    // A table the run did not create may have other columns than the source's: its rows
    // go one INSERT at a time, as the database takes them, and so do they when the
    // settings ask for it.
    std::unique_ptr<BatchWriter> writer;
    if (table.created && !request_.settings.oneStatementPerRow) {
        try {
            writer = WriterFor(table.name, plan.binary);
        } catch (...) {
            writer.reset();  // the rows go through the driver instead
        }
    }
    RowStatement insert(request_.target, table.name, plan.bare, targetDialect_);
    insert.SetBinaryColumns(plan.binary);
    RowCopy copy(table.rows, Source(),
                 {Target(), std::move(insert), std::move(writer), request_.settings, targetDialect_,
                  table.entry, names,
                  // What the created table's columns keep of a value; a table that stood
                  // there already has columns of its own.
                  table.created ? plan.rules : std::vector<ValueRule>()},
                 {lines_.readField, lines_.insert, lines_.moveNext}, listener_);
    copy.Run([&] { listener_.Progress(copy.Handled(), copy.Total()); });
    listener_.Progress(copy.Handled(), copy.Total());
    if (const std::string last = copy.LastStatement(); !last.empty())
        statement_ = last;
    if (copy.ConnectionLost())
        ended_ = true;

    const RowCopy::Tally tally = copy.Result();
    table.outcome.counted = copy.Total();
    table.outcome.landed = tally.landed;
    table.outcome.refused = tally.refused;
    table.outcome.complete = tally.complete;
    table.outcome.stopRequested = tally.stopRequested;
    ReportCut(table, tally);
    if (request_.settings.verify && table.created && !ended_)
        Verify(table, plan.rules, copy.Landed());
}

// A table cut short must never look finished: the report says how much of it arrived. A
// stop that was asked for is no failure, but the table must not look complete either.
void TransferRun::ReportCut(const Table& table, const RowCopy::Tally& tally) {
    const CopyCount count{tally.landed, table.outcome.counted, tally.refused, tally.uncertain};
    if (tally.stopRequested) {
        listener_.Failed(lines_.insert, adodb::Error(StoppedAsAskedText(table.entry, count)),
                         statement_);
    } else if (!tally.complete) {
        listener_.Failed(tally.stoppedAtLine != 0 ? tally.stoppedAtLine : lines_.insert,
                         adodb::Error(StoppedText(table.entry, count)), statement_);
    }
}

void TransferRun::Verify(Table& table, const std::vector<ValueRule>& rules,
                         const TableChecksum& landed) {
    TableOutcome& outcome = table.outcome;
    const bool read = Step(lines_.verify, [&] {
        outcome.verifyDifference = VerifyTable(Target(), targetDialect_, table.name, rules, landed,
                                               toPostgreSQL_ ? Wire() : nullptr);
    });
    if (!read) {
        outcome.verified = false;
        outcome.verifyDifference = "the table could not be read back";
        return;
    }
    outcome.verified = outcome.verifyDifference.empty();
    if (!*outcome.verified) {
        listener_.Failed(lines_.verify,
                         adodb::Error("Verification of table " + QuotedName(table.name) +
                                      " failed: what the target holds differs from what was "
                                      "written in " +
                                      outcome.verifyDifference + "."),
                         statement_);
    }
}

std::unique_ptr<BatchWriter> TransferRun::WriterFor(const std::string& table,
                                                    const std::vector<bool>& binary) {
    if (binary.empty())
        return nullptr;
    if (!toPostgreSQL_)
        return ArrayInsertWriter::Create(sybase_, table, binary, *targetDialect_);
    // COPY goes over a libpq connection of its own, opened once per run (again after it
    // broke).
    PostgresCopyConnection* wire = Wire();
    if (wire == nullptr)
        return nullptr;
    return std::make_unique<CopyWriter>(*wire, table, binary);
}

// The run's libpq connection to PostgreSQL, for COPY in either direction: opened once per
// run, again after it broke. nullptr when it cannot be opened: the driver then carries the
// rows.
PostgresCopyConnection* TransferRun::Wire() {
    if (!copyConnection_ || copyConnection_->Broken())
        copyConnection_ = PostgresCopyConnection::Open(request_.values, request_.settings);
    return copyConnection_.get();
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
