#include "engine/send/TransferRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "engine/connections/Failure.h"
#include "engine/connections/PostgreSQL.h"
#include "engine/connections/Sybase.h"
#include "engine/rows/ArrayInsertWriter.h"
#include "engine/rows/CopyWriter.h"
#include "engine/rows/FailurePolicy.h"
#include "engine/rows/PostgresWire.h"
#include "engine/rows/RowCopy.h"
#include "engine/rows/TableRows.h"
#include "engine/schema/SchemaReader.h"
#include "engine/send/ForeignKeys.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/send/MeaningProbe.h"
#include "engine/send/RepeatedKeys.h"
#include "engine/send/ReportLines.h"
#include "engine/send/ReportText.h"
#include "engine/send/TableVerify.h"
#include "engine/send/TableWriterLock.h"
#include "engine/tables/TableNames.h"
#include "sql/dialect/Dialect.h"
#include "sql/model/Condition.h"
#include "sql/model/SqlName.h"
#include "sql/statements/ExistingTable.h"
#include "sql/statements/MergeStatements.h"
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
    // The table's own settings: the request's, or its entry's in the request's table settings.
    IntoExisting existing;
    bool exact = false;  // an exact copy
    // An exact copy: the integer key its rows are read in the order of.
    std::vector<OrderColumn> orderKey;
    std::string where;  // the source's rows read: those that meet it (empty: all)
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
    // Rows into the table the target holds, as the request's `existing` says; true when
    // it asks for that (the table is then done with).
    bool IntoExistingTable(Table& table);
    void FillExisting(Table& table, const std::vector<SourceField>& fields);
    // The source's condition for --since: its rows at or after the target's largest value
    // of the column; empty when the target holds none. Raises the driver's error.
    std::string SinceCondition(const Table& table, const std::vector<std::string>& read,
                               const ExistingFit& fit);
    // A merge's key as the target names it; empty, reported, when the table takes no merge
    // by it (no such key, or one that repeats among the source's rows).
    std::vector<std::string> MergeKeyOf(const Table& table, const TableSchema& target,
                                        const ExistingFit& fit,
                                        const std::vector<std::string>& read);
    bool RefuseCutAppend(Table& table, const std::string& spelled);
    // Deletes the target's rows whose key the source no longer holds.
    void DeleteMissing(Table& table, const ExistingFit& fit, const std::vector<std::string>& read,
                       const std::vector<std::string>& key);
    // The table that stands on the target as its catalog describes it.
    TableSchema TargetSchema(const Table& table);
    // Refuses the table: reported, and it gets no row.
    void RefuseExisting(const Table& table, const std::string& why);
    // Opens the source's rows: those that meet the table's condition and `where`, in the
    // order of its key where it has one.
    void OpenSource(Table& table, const std::string& where = {});
    // The table's key as the source orders its rows by it.
    std::vector<std::string> OrderTerms(const Table& table) const;
    // Carries on what a stopped send left of the table; true when it did (the table is
    // then done with), false when the table goes as any other.
    bool ResumeTable(Table& table);
    void GoOn(Table& table);
    // An exact copy's steps that the target's table has already.
    void DropStepsMade(const Table& table, TablePlan& plan);
    void ReadSchema(Table& table);
    bool DropOld(Table& table);
    void CreateAndCopy(Table& table);
    TablePlan PlanExact(const Table& table);
    // The name a source table is written under: its settings' target, else its own.
    std::string TargetNameOf(const std::string& source) const;
    void BeforeTable(Table& table, TablePlan& plan);
    void CopyRows(Table& table, const TablePlan& plan);
    void AfterRows(Table& table, const TablePlan& plan);
    void RunStep(Table& table, const SchemaStep& step);
    void ReportCut(const Table& table, const RowCopy::Tally& tally);
    // Reads the source again and the target back, and compares them.
    void Verify(Table& table, const std::vector<ValueRule>& rules);
    // The step's outcome in the table's summary, its failure reported; false when it lost
    // the connection.
    bool StepDone(Table& table, const SchemaStep& step, const StepResult& result, int line);
    void NotTried(Table& table, const SchemaStep& step);
    void Finished(TableOutcome& outcome);
    std::unique_ptr<BatchWriter> WriterFor(const std::string& table,
                                           const std::vector<bool>& binary,
                                           const std::vector<std::string>& columns = {},
                                           const std::optional<MergePlan>& merge = std::nullopt);
    // Copies the rows through the writer (or one statement a row), and records what
    // landed in the table's outcome.
    RowCopy::Tally Copy(Table& table, RowCopy::Target target);
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
    CaseBlindNames targetTables_;
    std::optional<CaseBlindNames> sentTables_;  // as the target will name them; made when needed
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
    std::vector<long long> refusedRows_;  // the last table's refused rows, by their places
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
    targetTables_.Add(name);
    listener_.TableListed(ListEntry(name));
}

void TransferRun::Dropped(const std::string& name) {
    // The list loses the entries equal to the name as it spells new tables: for
    // PostgreSQL the lower-case name, so an entry in capitals stays there.
    targetTables_.Remove(name);
    listener_.TableDropped(ListEntry(name));
}

void TransferRun::SendTable(const std::string& entry) {
    tableStart_ = std::chrono::steady_clock::now();
    listener_.TableStarted(entry);
    if (request_.statementPerTable)
        statement_.clear();
    // The name the target will store: PostgreSQL keeps 63 bytes of it, and the question,
    // DROP, CREATE and the list must all see that very table.
    const auto own = request_.tableSettings.find(entry);
    const TableSettings* settings = own == request_.tableSettings.end() ? nullptr : &own->second;
    Table table(entry, StoredTableName(request_.target, TargetNameOf(entry)));
    table.existing = settings && settings->existing ? *settings->existing : request_.existing;
    table.exact =
        settings && settings->exactSchema ? *settings->exactSchema : request_.settings.exactSchema;
    table.where = settings ? settings->where : std::string();
    if (const std::optional<std::string> problem = ConditionProblem(table.where)) {
        listener_.Failed(
            lines_.select,
            adodb::Error("The table " + QuotedName(entry) + " was not sent: " + *problem + "."),
            statement_);
        Finished(table.outcome);
        return;
    }
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
    // A send carried on decides first: a table it finished is left as it is.
    if (ResumeTable(table) || IntoExistingTable(table)) {
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
                 ReadSchema(table);
                 OpenSource(table);
             }) &&
        DropOld(table))
        CreateAndCopy(table);
    if (ended_ && writerLock)
        writerLock->Abandon();
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
    const std::optional<std::string> spelled = targetTables_.Spelling(table.name);
    if (!spelled)
        return true;
    table.name = *spelled;
    table.outcome.target = table.name;
    const bool yes = listener_.AskOverwrite(table.name);
    // The time the question waited for its answer is not the table's.
    tableStart_ = std::chrono::steady_clock::now();
    table.outcome.skipped = !yes;
    table.overwrite = yes;
    return yes;
}

bool TransferRun::IntoExistingTable(Table& table) {
    using Mode = IntoExisting::Mode;
    if (table.existing.mode == Mode::kAsk)
        return false;
    const std::optional<std::string> spelled = targetTables_.Spelling(table.name);
    if (!spelled)
        return false;
    table.name = *spelled;
    table.outcome.target = table.name;
    table.outcome.into = table.existing.mode == Mode::kTruncate ? "truncate"
                         : table.existing.mode == Mode::kAppend ? "append"
                                                                : "merge";
    LearnDialects();
    std::vector<SourceField> fields;
    // The source's catalog says what its columns hold, in either schema mode.
    if (Step(lines_.select, [&] {
            fields = TableRows::Describe(Source(), *sourceDialect_, table.entry);
            table.schema = ReadTableSchema(Source(), *sourceDialect_, table.entry, fields);
        }))
        FillExisting(table, fields);
    return true;
}

std::string TransferRun::SinceCondition(const Table& table, const std::vector<std::string>& read,
                                        const ExistingFit& fit) {
    const std::string& since = table.existing.since;
    std::size_t at = std::find(read.begin(), read.end(), since) - read.begin();
    for (std::size_t i = 0; at == read.size() && i < read.size(); ++i) {
        if (SameNameIgnoringCase(read[i], since))
            at = i;
    }
    if (at == read.size())
        throw adodb::Error("The column " + QuotedName(since) + " of --since is not in the table " +
                           QuotedName(table.entry) + ".");
    adodb::Recordset largest = Target().Execute(
        "SELECT " + targetDialect_->AsText("max(" + QuotedName(fit.columns[at]) + ")") + " FROM " +
        QuotedName(table.name));
    if (largest.IsEOF() || largest.Fields()[0].Value().IsNull())
        return {};  // an empty table: every row
    return QuotedName(read[at]) +
           " >= " + sourceDialect_->String(largest.Fields()[0].Value().Text());
}

TableSchema TransferRun::TargetSchema(const Table& table) {
    return ReadTableSchema(Target(), *targetDialect_, table.name,
                           TableRows::Describe(Target(), *targetDialect_, table.name));
}

void TransferRun::RefuseExisting(const Table& table, const std::string& why) {
    listener_.Failed(
        lines_.intoExisting,
        adodb::Error("The table " + QuotedName(table.name) + " on the target takes no row of " +
                     QuotedName(table.entry) + ": " + why + "."),
        statement_);
}

void TransferRun::FillExisting(Table& table, const std::vector<SourceField>& fields) {
    const bool merge = table.existing.mode == IntoExisting::Mode::kMerge;
    std::vector<std::string> read;
    for (const SourceField& field : fields)
        read.push_back(field.name);
    TableSchema target;
    if (!Step(lines_.intoExisting, [&] { target = TargetSchema(table); }))
        return;
    const ExistingFit fit = FitExisting(read, *table.schema, target);
    if (!fit.problems.empty()) {
        std::string why;
        for (const std::string& problem : fit.problems)
            why += (why.empty() ? "" : "; ") + problem;
        return RefuseExisting(table, why);
    }
    std::vector<std::string> key;
    std::optional<MergePlan> plan;
    if (merge && IsStagingName(table.name))
        return RefuseExisting(table,
                              "a merge stages its rows in a temporary table of that name, "
                              "which would hide it");
    if (merge) {
        key = MergeKeyOf(table, target, fit, read);
        if (key.empty())
            return;
        plan = PlanMerge(*targetDialect_, QuotedName(table.name), fit.columns, key);
    }
    std::string where = table.where;
    if (merge && !table.existing.since.empty() && !Step(lines_.intoExisting, [&] {
            if (const std::string since = SinceCondition(table, read, fit); !since.empty())
                where = where.empty() ? since : "(" + where + ") AND " + since;
        }))
        return;
    // The source's read is open and has answered before the table is emptied: a read the
    // source refuses costs the target nothing.
    if (!request_.dryRun && !Step(lines_.select, [&] {
            table.rows.Open(Source(), sourceDialect_, table.entry, toPostgreSQL_ ? nullptr : Wire(),
                            where);
        }))
        return;
    if (!request_.dryRun)
        listener_.TableWriting(table.entry);
    if (table.existing.mode == IntoExisting::Mode::kTruncate) {
        const std::string empty = targetDialect_->EmptyTableStatement(QuotedName(table.name));
        listener_.SchemaStatement(empty);
        TransientBudget budget = StatementBudget();
        if (!request_.dryRun &&
            !Step(
                lines_.intoExisting,
                [&] { WaitOutTransient([&] { Target().Execute(empty); }, budget); }, &empty))
            return;
    }
    if (request_.dryRun) {
        table.outcome.complete = true;
        return;
    }
    std::unique_ptr<BatchWriter> writer;
    if (!request_.settings.oneStatementPerRow) {
        try {
            writer = WriterFor(table.name, fit.binary, fit.columns, plan);
        } catch (...) {
            writer.reset();  // the rows go through the driver instead
        }
    }
    RowStatement insert(request_.target, table.name, std::vector<bool>(fit.columns.size(), false),
                        targetDialect_, fit.columns);
    insert.SetBinaryColumns(fit.binary);
    std::shared_ptr<const MergeRow> rowMerge;
    if (merge)
        rowMerge = std::make_shared<MergeRow>(targetDialect_, QuotedName(table.name), fit.columns,
                                              key, insert);
    const RowCopy::Tally tally =
        Copy(table, {Target(), std::move(insert), std::move(writer), request_.settings,
                     targetDialect_, table.entry, read, fit.rules, rowMerge});
    if (!ended_)
        Step(lines_.closeRecordset, [&] { table.rows.Close(); });
    if (!merge)
        return;
    table.outcome.inserted = tally.inserted;
    table.outcome.unchanged = tally.unchanged;
    table.outcome.updated = tally.landed - tally.inserted - tally.unchanged;
    // Only a merge read to its end knows which keys the source no longer holds.
    if (table.existing.deleteMissing && tally.complete && !ended_ && !listener_.StopRequested())
        DeleteMissing(table, fit, read, key);
}

std::vector<std::string> TransferRun::MergeKeyOf(const Table& table, const TableSchema& target,
                                                 const ExistingFit& fit,
                                                 const std::vector<std::string>& read) {
    std::string problem;
    std::vector<std::string> key =
        MergeKey(table.existing.key, *table.schema, target, fit, read, problem);
    if (key.empty()) {
        RefuseExisting(table, problem);
        return {};
    }
    // Each source row must meet a row of its own: a key that repeats would keep one.
    std::vector<std::string> sourceKey;
    for (const std::string& column : key)
        sourceKey.push_back(
            read[std::find(fit.columns.begin(), fit.columns.end(), column) - fit.columns.begin()]);
    if (!Step(lines_.intoExisting, [&] {
            problem =
                RepeatedKeys(Source(), *sourceDialect_, *table.schema, table.where, sourceKey);
        }))
        return {};
    if (!problem.empty()) {
        RefuseExisting(table, problem);
        return {};
    }
    return key;
}

void TransferRun::DeleteMissing(Table& table, const ExistingFit& fit,
                                const std::vector<std::string>& read,
                                const std::vector<std::string>& key) {
    const MissingKeys plan = PlanMissingKeys(*targetDialect_, QuotedName(table.name), key);
    // The key's columns as the source names them, and how their values go.
    std::vector<std::string> sourceKey;
    std::vector<bool> binary;
    std::vector<ValueRule> rules;
    for (const std::string& column : key) {
        const std::size_t at =
            std::find(fit.columns.begin(), fit.columns.end(), column) - fit.columns.begin();
        sourceKey.push_back(read[at]);
        binary.push_back(fit.binary[at]);
        rules.push_back(fit.rules[at]);
    }
    const auto notDeleted = [&](const std::string& why) {
        table.outcome.complete = false;
        listener_.Failed(lines_.intoExisting,
                         adodb::Error("No row of the table " + QuotedName(table.name) +
                                      " was deleted: " + why + "."),
                         statement_);
    };
    if (!Step(lines_.intoExisting, [&] {
            Target().Execute(plan.dropStaging);
            Target().Execute(plan.createStaging);
        }))
        return notDeleted("the table of the source's keys could not be made");
    TableRows keys;
    if (!Step(lines_.select, [&] {
            keys.Open(Source(), sourceDialect_, table.entry, toPostgreSQL_ ? nullptr : Wire(), {},
                      sourceKey);
        }))
        return notDeleted("the source's keys could not be read");
    std::unique_ptr<BatchWriter> writer;
    try {
        writer = ArrayInsertWriter::Create(Target(), plan.staging, binary, *targetDialect_, key);
    } catch (...) {
        writer.reset();
    }
    RowStatement insert(request_.target, plan.staging, std::vector<bool>(key.size(), false),
                        targetDialect_, key);
    insert.SetBinaryColumns(binary);
    RowCopy copy(keys, Source(),
                 {Target(), std::move(insert), std::move(writer), request_.settings, targetDialect_,
                  table.entry, sourceKey, rules, nullptr},
                 {lines_.readField, lines_.insert, lines_.moveNext}, listener_);
    copy.Run([&] { listener_.Progress(copy.Handled(), copy.Total()); });
    const RowCopy::Tally tally = copy.Result();
    table.outcome.keysCompared = tally.landed;
    if (copy.ConnectionLost())
        ended_ = true;
    if (!ended_)
        Step(lines_.closeRecordset, [&] { keys.Close(); });
    if (!tally.complete || tally.refused > 0)
        return notDeleted("not every key of the source arrived to be compared");
    long long deleted = 0;
    const bool done = Step(lines_.intoExisting, [&] {
        statement_ = plan.index;
        Target().Execute(plan.index);
        statement_ = plan.remove;
        Target().BeginTrans();
        try {
            adodb::Recordset counted = Target().Execute(plan.count);
            deleted =
                counted.IsEOF() ? 0 : std::stoll(std::string(counted.Fields()[0].Value().Text()));
            counted.Close();
            Target().Execute(plan.remove);
            Target().CommitTrans();
        } catch (...) {
            try {
                Target().RollbackTrans();
            } catch (...) {
            }
            throw;
        }
    });
    if (done)
        table.outcome.deleted = deleted;
    else
        table.outcome.complete = false;
    if (!ended_)
        Step(lines_.intoExisting, [&] { Target().Execute(plan.dropStaging); });
}

bool TransferRun::ResumeTable(Table& table) {
    if (!request_.resume)
        return false;
    const std::optional<std::string> spelled = targetTables_.Spelling(table.name);
    if (!spelled)
        return false;
    const ResumeState& state = *request_.resume;
    const bool finished = state.finished.count(table.entry) > 0;
    // A table of that name that the stopped send did not make is the user's: asked about,
    // or written into again as the mode says (a truncate or a merge comes to the same
    // rows however often it runs). An append cannot tell the rows it added from the
    // table's own: it is not carried on.
    if (!finished && state.created.count(table.entry) == 0)
        return state.writing.count(table.entry) > 0 &&
               table.existing.mode == IntoExisting::Mode::kAppend &&
               RefuseCutAppend(table, *spelled);
    table.name = *spelled;
    table.outcome.target = table.name;
    LearnDialects();
    if (finished) {
        table.outcome.doneBefore = true;
        table.outcome.complete = true;
        // Its foreign keys wait for every table, as a fresh copy's do; those made are not
        // made again.
        if (table.exact && Step(lines_.select, [&] { ReadSchema(table); })) {
            TablePlan plan;
            if (Step(lines_.buildCreate, [&] {
                    plan = PlanExact(table);
                    DropStepsMade(table, plan);
                })) {
                for (const SchemaStep& step : plan.foreignKeys)
                    foreignKeys_->Add({table.entry, table.name, step});
            }
        }
        return true;
    }
    if (!Step(lines_.select, [&] { ReadSchema(table); }))
        return true;
    if (table.orderKey.empty()) {
        // No key to go on from: the copy is made again from its start.
        table.outcome.restarted = true;
        table.overwrite = true;
        if (Step(lines_.select, [&] { OpenSource(table); }) && DropOld(table))
            CreateAndCopy(table);
        return true;
    }
    GoOn(table);
    if (!ended_)
        Step(lines_.closeRecordset, [&] { table.rows.Close(); });
    return true;
}

// A stopped send's append into a table that stood there: the rows it added cannot be told
// from the table's own. True: the table is done with.
bool TransferRun::RefuseCutAppend(Table& table, const std::string& spelled) {
    table.outcome.target = spelled;
    listener_.Failed(
        lines_.intoExisting,
        adodb::Error("The stopped send was appending the rows of " + QuotedName(table.entry) +
                     " to the table " + QuotedName(spelled) +
                     ": the rows it added cannot be told from the table's own, so --resume does "
                     "not carry on an append. Restore the table and send it again, or merge it "
                     "(--if-exists merge), which does not double a row."),
        statement_);
    return true;
}

// The rows landed in key order, so the target's largest key is where the copy stopped: the
// rows after it are read and added, then the steps not yet made are made.
void TransferRun::GoOn(Table& table) {
    std::vector<std::string> read;
    for (const ColumnSchema& column : table.schema->columns)
        read.push_back(column.name);
    TableSchema target;
    std::vector<std::string> last;
    long long there = 0;
    if (!Step(lines_.intoExisting, [&] {
            target = TargetSchema(table);
            // The last row in the key's order: the first of the reverse order.
            std::string select, order;
            // The texts are named apart from the columns: ORDER BY would otherwise take the
            // name for the text's and order the keys as texts ("999999" before "1000000").
            for (const OrderColumn& column : table.orderKey) {
                const std::string qualified = "kv_t." + QuotedName(column.name);
                select += (select.empty() ? "" : ", ") + targetDialect_->AsText(qualified) +
                          " AS kv_key" + std::to_string(order.size());
                order += (order.empty() ? "" : ", ") +
                         (column.text ? targetDialect_->ByteOrder(qualified) : qualified) + " DESC";
            }
            adodb::Recordset answer = Target().Execute(
                "SELECT " + select + " FROM " + QuotedName(table.name) + " kv_t ORDER BY " + order);
            if (!answer.IsEOF()) {
                for (int j = 0; j < answer.Fields().Count(); ++j)
                    last.emplace_back(answer.Fields()[j].Value().Text());
            }
            answer.Close();
            adodb::Recordset count =
                Target().Execute("SELECT count(*) FROM " + QuotedName(table.name));
            there = count.IsEOF() ? 0 : std::stoll(std::string(count.Fields()[0].Value().Text()));
        }))
        return;
    // The last row's values as the source's literals: a text as its string, and nothing but
    // a whole number for an integer.
    std::vector<std::string> literals;
    for (std::size_t i = 0; i < last.size() && i < table.orderKey.size(); ++i) {
        const std::string& value = last[i];
        if (table.orderKey[i].text) {
            literals.push_back(sourceDialect_->String(value));
            continue;
        }
        const std::size_t start = !value.empty() && value[0] == '-' ? 1 : 0;
        if (value.size() <= start ||
            value.find_first_not_of("0123456789", start) != std::string::npos)
            return RefuseExisting(table, "its key's last value " + value + " is no whole number");
        literals.push_back(value);
    }
    const std::string after = AfterKey(OrderTerms(table), literals);
    std::vector<std::string> names;
    for (const SourceField& field : TableRows::Describe(Source(), *sourceDialect_, table.entry))
        names.push_back(field.name);
    const ExistingFit fit = FitExisting(names, *table.schema, target);
    if (!fit.problems.empty())
        return RefuseExisting(table, fit.problems.front());
    table.outcome.resumedAfter = there;
    if (!Step(lines_.select,
              [&] { OpenSource(table, after.empty() ? std::string() : "(" + after + ")"); }))
        return;
    TablePlan plan;
    if (!Step(lines_.buildCreate, [&] {
            plan = PlanExact(table);
            DropStepsMade(table, plan);
        }))
        return;
    std::unique_ptr<BatchWriter> writer;
    if (!request_.settings.oneStatementPerRow) {
        try {
            writer = WriterFor(table.name, fit.binary, fit.columns);
        } catch (...) {
            writer.reset();
        }
    }
    RowStatement insert(request_.target, table.name, std::vector<bool>(fit.columns.size(), false),
                        targetDialect_, fit.columns);
    insert.SetBinaryColumns(fit.binary);
    Copy(table, {Target(), std::move(insert), std::move(writer), request_.settings, targetDialect_,
                 table.entry, names, fit.rules, nullptr});
    // The table was made before: its keys and indexes come after all of its rows, as then.
    if (table.outcome.complete || ended_)
        AfterRows(table, plan);
}

void TransferRun::DropStepsMade(const Table& table, TablePlan& plan) {
    const TableSchema target = TargetSchema(table);
    const TablePlan made =
        PlanExactTable(target, table.name, *targetDialect_, [](std::string_view) { return true; });
    std::set<std::string> there;
    for (const auto* steps : {&made.afterRows, &made.foreignKeys}) {
        for (const SchemaStep& step : *steps)
            there.insert(step.what);
    }
    const auto madeBefore = [&](const SchemaStep& step) {
        if (there.count(step.what) == 0)
            return false;
        plan.carried.push_back(step.what + ": made before");
        return true;
    };
    std::erase_if(plan.afterRows, madeBefore);
    std::erase_if(plan.foreignKeys, madeBefore);
}

// Opens the rows of the entry's table on the source: its own rows, each value as the
// source holds it (TableRows).
void TransferRun::OpenSource(Table& table, const std::string& where) {
    const std::string& own = table.where;
    const std::string both = own.empty()     ? where
                             : where.empty() ? own
                                             : "(" + own + ") AND " + where;
    table.rows.Open(Source(), sourceDialect_, table.entry, toPostgreSQL_ ? nullptr : Wire(), both,
                    {}, OrderTerms(table));
}

std::vector<std::string> TransferRun::OrderTerms(const Table& table) const {
    std::vector<std::string> terms;
    for (const OrderColumn& column : table.orderKey)
        terms.push_back(column.text ? sourceDialect_->ByteOrder(QuotedName(column.name))
                                    : QuotedName(column.name));
    return terms;
}

// An exact copy reads the source's own catalog, over the same connection.
void TransferRun::ReadSchema(Table& table) {
    if (!table.exact)
        return;
    table.schema = ReadTableSchema(Source(), *sourceDialect_, table.entry,
                                   TableRows::Describe(Source(), *sourceDialect_, table.entry));
    // Text keys only where both databases order text by its bytes: one order on both sides.
    table.orderKey = OrderKey(*table.schema, !sourceDialect_->ByteOrder("k").empty() &&
                                                 !targetDialect_->ByteOrder("k").empty());
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
    listener_.TableCreating(table.entry);
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
        if (targetTables_.Contains(stored) || foreignKeys_->WasWritten(stored))
            return true;
        if (!sentTables_) {
            sentTables_.emplace();
            for (const std::string& sent : request_.tables)
                sentTables_->Add(StoredTableName(request_.target, TargetNameOf(sent)));
        }
        return sentTables_->Contains(stored);
    };
    // A foreign key refers to the table as the target will hold it: under its own name
    // where the settings give it one.
    // What the target would read differently is left out and named.
    TableSchema schema =
        WithMeaningsKept(*table.schema, {Source(), *sourceDialect_, Target(), *targetDialect_});
    for (ForeignKeySchema& key : schema.foreignKeys)
        key.table = TargetNameOf(key.table);
    return PlanExactTable(schema, table.name, *targetDialect_, onTarget);
}

std::string TransferRun::TargetNameOf(const std::string& source) const {
    const auto own = request_.tableSettings.find(source);
    return own == request_.tableSettings.end() || own->second.target.empty() ? source
                                                                             : own->second.target;
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
    // What the created table's columns keep of a value; a table that stood there already
    // has columns of its own.
    Copy(table,
         {Target(), std::move(insert), std::move(writer), request_.settings, targetDialect_,
          table.entry, names, table.created ? plan.rules : std::vector<ValueRule>(), nullptr});
    if (request_.settings.verify && table.created && !ended_)
        Verify(table, plan.rules);
}

RowCopy::Tally TransferRun::Copy(Table& table, RowCopy::Target target) {
    target.readHook = request_.readHook;
    RowCopy copy(table.rows, Source(), std::move(target),
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
    refusedRows_ = copy.RefusedRows();
    return tally;
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

void TransferRun::Verify(Table& table, const std::vector<ValueRule>& rules) {
    TableOutcome& outcome = table.outcome;
    const bool read = Step(lines_.verify, [&] {
        std::vector<long long> refused = refusedRows_;
        std::sort(refused.begin(), refused.end());
        outcome.verifyDifference = VerifyTable(
            {Source(), sourceDialect_, table.entry, table.where, OrderTerms(table)},
            {Target(), targetDialect_, table.name, {}, {}, toPostgreSQL_ ? Wire() : nullptr}, rules,
            refused);
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
                                      " failed: what the target holds differs from the source in " +
                                      outcome.verifyDifference + "."),
                         statement_);
    }
}

std::unique_ptr<BatchWriter> TransferRun::WriterFor(const std::string& table,
                                                    const std::vector<bool>& binary,
                                                    const std::vector<std::string>& columns,
                                                    const std::optional<MergePlan>& merge) {
    if (binary.empty())
        return nullptr;
    if (!toPostgreSQL_)
        return ArrayInsertWriter::Create(sybase_, table, binary, *targetDialect_, columns, merge);
    // COPY goes over a libpq connection of its own, opened once per run (again after it
    // broke).
    PostgresCopyConnection* wire = Wire();
    if (wire == nullptr)
        return nullptr;
    if (merge && !wire::Command(wire->get(), merge->dropStaging.c_str(),
                                std::chrono::steady_clock::now() +
                                    std::chrono::seconds(request_.settings.commandTimeoutSeconds)))
        return nullptr;
    return std::make_unique<CopyWriter>(*wire, table, binary, columns, merge);
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
