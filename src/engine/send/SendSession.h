#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adodb/Connection.h"
#include "engine/connections/Failure.h"
#include "engine/rows/CopyConnection.h"
#include "engine/rows/FailurePolicy.h"
#include "engine/rows/RowCopy.h"
#include "engine/send/ForeignKeys.h"
#include "engine/send/KeysAndIndexes.h"
#include "engine/send/ReportLines.h"
#include "engine/send/SentTable.h"
#include "engine/send/TargetClaims.h"
#include "engine/send/TransferRun.h"
#include "engine/tables/TableNames.h"
#include "sql/dialect/Dialect.h"
#include "sql/statements/TablePlan.h"

namespace korvanta {

// How a table's rows go in: what the shared copy step needs of a route.
struct RowsInto {
    std::string table{};              // as the target stores it
    std::vector<std::string> read{};  // the source's columns, in the order read
    std::vector<std::string>
        columns{};                   // the target's, in the same order; empty: all, in its order
    std::vector<bool> bare{};        // written bare in a single-row INSERT (else quoted)
    std::vector<bool> binary{};      // whose values (hex digits) go in as bytes
    std::vector<ValueRule> rules{};  // what each target column keeps of a value
    // The fast writer: any (COPY towards PostgreSQL, arrays of parameters otherwise), one on
    // the target's own session (a temporary table lives there only), or none: the rows go
    // one INSERT each.
    enum class Writer { kFastest, kSameSession, kNone };
    Writer writer = Writer::kFastest;
    std::vector<std::string> mergeKey{};  // a merge by this key (target's names); empty: inserts
};

// What one run of the shared copy step came to.
struct CopyResult {
    RowCopy::Tally tally;
    long long total = -1;
    std::vector<long long> refusedRows;
};

// One send's connections, dialects and reports, shared by the routes its tables take. Every
// step runs through Step, so that one failure policy holds for all of them.
class SendSession {
  public:
    SendSession(const SendRequest& request, TransferListener& listener);

    const SendRequest& request() const { return request_; }
    const SendReportLines& lines() const { return lines_; }
    TransferListener& listener() { return listener_; }
    bool toPostgreSQL() const { return toPostgreSQL_; }
    bool ended() const { return ended_; }
    ForeignKeyQueue& foreignKeys() { return *foreignKeys_; }
    std::string& statement() { return statement_; }

    adodb::Connection& Target() { return toPostgreSQL_ ? postgreSQL_ : sybase_; }
    adodb::Connection& Source() { return toPostgreSQL_ ? sybase_ : postgreSQL_; }
    adodb::Connection& PostgreSQL() { return postgreSQL_; }
    adodb::Connection& Sybase() { return sybase_; }
    const Dialect& SourceDialect() const { return *sourceDialect_; }
    const Dialect& TargetDialect() const { return *targetDialect_; }
    const std::shared_ptr<const Dialect>& SourceDialectPtr() const { return sourceDialect_; }
    const std::shared_ptr<const Dialect>& TargetDialectPtr() const { return targetDialect_; }
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
    void End() { ended_ = true; }
    // A failure of the table's own, named by this send (not by a database).
    void Report(int line, const std::string& message) {
        listener_.Failed(line, adodb::Error(message), statement_);
    }

    // The journal learns of a table before the target changes for it; nothing without one.
    void NoteCreating(const std::string& source) {
        if (request_.journal)
            request_.journal->Creating(source);
    }
    void NoteWriting(const std::string& source) {
        if (request_.journal)
            request_.journal->Writing(source);
    }

    // Runs `change` (statements that delete rows on the target, outside a transaction of
    // their own) with the target checking foreign keys, where its connection checks none
    // unless told: a row another table refers to is then not deleted. Raises what it raises.
    template <class F>
    void WithKeysChecked(F&& change) {
        const std::string on = targetDialect_->KeysCheckedStatement(true);
        if (!on.empty())
            Target().Execute(on);
        try {
            std::forward<F>(change)();
        } catch (...) {
            if (!on.empty()) {
                try {
                    Target().Execute(targetDialect_->KeysCheckedStatement(false));
                } catch (...) {
                }
            }
            throw;
        }
        if (!on.empty())
            Target().Execute(targetDialect_->KeysCheckedStatement(false));
    }

    bool OpenConnections();
    void CloseConnections();
    // The dialects of both sides: the ODBC side's from its driver's DBMS name, asked once;
    // the target's as its settings make it. Learned when the first table is sent, so that
    // a send of nothing sends no statement.
    void LearnDialects();

    // The target's spelling of a table it holds under the name, when it does.
    std::optional<std::string> Spelling(const std::string& name) const {
        return targetTables_.Spelling(name);
    }
    void Listed(const std::string& name);
    void Dropped(const std::string& name);
    // Fresh tables only: false, reported, when another table of this run claimed the name.
    bool ClaimTarget(const SentTable& table);
    // The name a source table is written under: its settings' target, else its own.
    std::string TargetNameOf(const std::string& source) const;

    // An exact copy reads the source's own catalog, over the same connection.
    void ReadSchema(SentTable& table);
    // The table that stands on the target as its catalog describes it.
    TableSchema TargetSchema(const SentTable& table);
    // The exact copy's plan of the table, and of the steps the target has already, without.
    TablePlan PlanExact(const SentTable& table);
    void DropStepsMade(const SentTable& table, TablePlan& plan);
    // Opens the source's rows: those that meet the table's condition and `where`, in the
    // order of its key where it has one.
    void OpenSource(SentTable& table, const std::string& where = {});
    std::vector<std::string> OrderTerms(const SentTable& table) const;
    void CloseSource(TableRows& rows);
    // Refuses the table: reported, and it gets no row.
    void RefuseExisting(const SentTable& table, const std::string& why);

    // The shared copy step: the writer (or why none), the single-row statement, the copy.
    CopyResult CopyRows(TableRows& rows, const std::string& sourceTable, const RowsInto& into,
                        std::string* slowWhy = nullptr);
    // The table's rows copied, what landed recorded in its outcome and a cut reported.
    RowCopy::Tally CopyTable(SentTable& table, const RowsInto& into);
    // Reads the source again and the target back, and compares them.
    void Verify(SentTable& table, const std::vector<ValueRule>& rules);

    // What the table's columns name that the target may lack (a collation), made first.
    void BeforeTable(SentTable& table, TablePlan& plan);
    // Keys, indexes and the identity's numbering after the rows; foreign keys queued.
    void AfterRows(SentTable& table, const TablePlan& plan);
    PostgresCopyConnection* Wire();

  private:
    void RunStep(SentTable& table, const SchemaStep& step);
    void StepDone(SentTable& table, const SchemaStep& step, const StepResult& result);
    void NotTried(SentTable& table, const SchemaStep& step);
    void ReportCut(const SentTable& table, const RowCopy::Tally& tally);
    std::unique_ptr<BatchWriter> WriterFor(const RowsInto& into);
    std::string ListEntry(const std::string& name) const {
        return toPostgreSQL_ ? LowerCaseName(name) : name;
    }

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
    std::vector<long long> refusedRows_;  // the last table's refused rows, by their places
};

}  // namespace korvanta
