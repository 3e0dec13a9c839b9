#include "engine/TransferRun.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "engine/ArrayInsertWriter.h"
#include "engine/PostgreSQL.h"
#include "engine/PostgresCopy.h"
#include "engine/ReportLines.h"
#include "engine/RowCopy.h"
#include "engine/Sybase.h"
#include "engine/TableChecksum.h"
#include "engine/TableNames.h"
#include "engine/TableWriterLock.h"
#include "engine/TransientFailure.h"
#include "sql/Datatype.h"
#include "sql/RowStatement.h"
#include "sql/SourceQuery.h"
#include "sql/SqlName.h"
#include "sql/StringLiterals.h"

namespace korvanta {

namespace {

// A failure as the report shows it: the driver's own error, or the standard text of any
// other failure (out of memory included).
adodb::Error AsError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const adodb::Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return adodb::Error("Out of memory");
    } catch (const std::exception& e) {
        return adodb::Error(e.what());
    } catch (...) {
        return adodb::Error("Unknown error");
    }
}

class TransferRun {
  public:
    TransferRun(const SendRequest& request, TransferListener& listener)
        : toPostgreSQL_(request.target == Side::PostgreSQL),
          request_(request),
          lines_(SendLinesTo(request.target)),
          listener_(listener),
          targetTables_(request.targetTables),
          claims_(request.claims ? request.claims : std::make_shared<TargetClaims>()) {}

    void Run();

  private:
    adodb::Connection& Target() { return toPostgreSQL_ ? postgreSQL_ : sybase_; }
    adodb::Connection& Source() { return toPostgreSQL_ ? sybase_ : postgreSQL_; }
    std::chrono::milliseconds TransientLimit() const {
        return std::chrono::seconds(request_.settings.transientWaitSeconds);
    }

    // Runs one step; false when it failed and was reported. A failure that lost a
    // connection ends the run: every later statement would fail as well.
    template <class F>
    bool Step(int line, F&& step) {
        try {
            std::forward<F>(step)();
            return true;
        } catch (...) {
            const adodb::Error error = AsError(std::current_exception());
            listener_.Failed(line, error, statement_);
            if (error.connectionLost())
                ended_ = true;
        }
        return false;
    }

    bool OpenConnections();
    void LearnTargetLiterals();
    void SendTable(const std::string& entry);
    bool ClaimTarget(const std::string& entry, const std::string& target);
    void OpenSource(const std::string& entry, adodb::Recordset& records,
                    std::vector<SourceField>& fields);
    void CopyRows(adodb::Recordset& records, const std::string& entry, const std::string& table,
                  const std::vector<SourceField>& fields, const CreateTableBuilder& create,
                  bool created, TableOutcome& outcome);
    void Verify(const std::string& table, const std::vector<SourceField>& fields,
                const TableChecksum& landed, TableOutcome& outcome);
    void Finished(TableOutcome& outcome);
    std::unique_ptr<BatchWriter> WriterFor(const std::string& table, std::size_t columns);
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
    std::string statement_;  // the last CREATE TABLE or INSERT built, quoted by the report
    adodb::Connection postgreSQL_;
    adodb::Connection sybase_;
    StringLiterals literals_ = StringLiterals::kStandard;
    bool literalsLearned_ = false;
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

// Values are written between apostrophes as the target reads them back unchanged. What
// cannot be learned is taken as the standard. Asked once, when the first table is sent,
// so that a send of nothing sends no statement.
void TransferRun::LearnTargetLiterals() {
    if (literalsLearned_)
        return;
    literalsLearned_ = true;
    try {
        if (toPostgreSQL_) {
            adodb::Recordset setting = postgreSQL_.Execute("SHOW standard_conforming_strings");
            if (!setting.IsEOF())
                literals_ = LiteralsOfPostgreSQL(setting.Fields()[0].Value().Text());
        } else {
            literals_ = LiteralsOfDataSource(sybase_.DbmsName());
        }
    } catch (...) {
        literals_ = StringLiterals::kStandard;
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
    TableOutcome outcome;
    outcome.source = entry;
    // The name the target will store: PostgreSQL keeps 63 bytes of it, and the question,
    // DROP, CREATE and the list must all see that very table.
    std::string workingName = StoredTableName(request_.target, entry);
    outcome.target = workingName;
    if (request_.freshTablesOnly && !ClaimTarget(entry, workingName)) {
        Finished(outcome);
        return;
    }
    // No other send writes this table until this one is done with it.
    std::optional<TableWriterLock> writerLock;
    if (toPostgreSQL_ &&
        !Step(lines_.lockTable, [&] { writerLock.emplace(Target(), workingName); })) {
        Finished(outcome);
        return;
    }

    bool overwrite = false;
    if (NamesContain(targetTables_, workingName)) {
        // The target's own spelling of the name is used from here on; the last match wins.
        for (const std::string& name : targetTables_) {
            if (SameNameIgnoringCase(name, workingName))
                workingName = name;
        }
        outcome.target = workingName;
        const bool yes = listener_.AskOverwrite(workingName);
        // The time the question waited for its answer is not the table's.
        tableStart_ = std::chrono::steady_clock::now();
        if (!yes) {
            outcome.skipped = true;
            Finished(outcome);
            return;
        }
        overwrite = true;
    }
    LearnTargetLiterals();

    // The source is read, under the list entry's own spelling, before anything is dropped:
    // a source that cannot be read leaves the target's table as it was.
    adodb::Recordset records;
    std::vector<SourceField> fields;
    if (!Step(lines_.select, [&] { OpenSource(entry, records, fields); })) {
        Finished(outcome);
        return;
    }

    if (overwrite) {
        const bool dropped = Step(lines_.dropTable, [&] {
            WaitOutTransient([&] { Target().Execute("DROP TABLE " + QuotedName(workingName)); },
                             TransientLimit());
        });
        // A table that could not be dropped gets no rows of a send that writes only fresh
        // tables; otherwise the entry goes whether or not the DROP went through, as the
        // list has always done.
        if (ended_ || (!dropped && request_.freshTablesOnly)) {
            Finished(outcome);
            return;
        }
        Dropped(workingName);
    }

    CreateTableBuilder create(request_.target, workingName);
    const bool built = Step(lines_.buildCreate, [&] {
        for (const SourceField& field : fields)
            create.AddColumn(field.name, field.type);
        statement_ = create.Statement();
    });
    if (!built) {
        Finished(outcome);
        return;
    }
    // A target busy with another program's work is waited for, as the rows are.
    const bool created = Step(lines_.createTable, [&] {
        WaitOutTransient([&] { Target().Execute(statement_); }, TransientLimit());
    });
    if (!created && request_.freshTablesOnly) {
        Finished(outcome);
        return;
    }
    if (!ended_)
        CopyRows(records, entry, workingName, fields, create, created, outcome);
    if (!ended_)
        Step(lines_.closeRecordset, [&] { records.Close(); });
    // The list learns of the table even when the run stops here: it was created.
    if (!ended_ || created)
        Listed(workingName);
    Finished(outcome);
}

// Fresh tables only: a table that would land on one another table of this run already
// claimed is reported and not sent. False then.
bool TransferRun::ClaimTarget(const std::string& entry, const std::string& target) {
    const std::optional<std::string> earlier = claims_->Claim(target, entry);
    if (!earlier)
        return true;
    listener_.Failed(
        lines_.createTable,
        adodb::Error("The tables " + QuotedName(*earlier) + " and " + QuotedName(entry) +
                     " would both be written to the table " + QuotedName(target) +
                     ", as the target compares names; " + QuotedName(entry) + " was not sent."),
        statement_);
    return false;
}

// Opens SELECT * FROM the entry's table on the source. psqlODBC rewrites dates, times,
// timestamps and GUIDs into forms that lose what they cannot hold (infinity, years BC or
// after 9999, time zones, letter case); those columns are read again as the server's own
// text, and money as its plain number, by a second query over the same rows.
void TransferRun::OpenSource(const std::string& entry, adodb::Recordset& records,
                             std::vector<SourceField>& fields) {
    const std::string table = QuotedName(entry);
    records.Open("SELECT * FROM " + table, Source(), adodb::adOpenStatic, adodb::adLockOptimistic);
    const adodb::FieldList& list = records.Fields();
    for (int j = 0; j < list.Count(); ++j)
        fields.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
    if (toPostgreSQL_)
        return;
    const std::string textForm = ServerTextQuery(table, fields);
    if (textForm.empty())
        return;
    records.Close();
    records.Open(textForm, Source());
}

void TransferRun::CopyRows(adodb::Recordset& records, const std::string& entry,
                           const std::string& table, const std::vector<SourceField>& fields,
                           const CreateTableBuilder& create, bool created, TableOutcome& outcome) {
    const std::size_t columns = fields.size();
    std::vector<std::string> names;
    for (const SourceField& field : fields)
        names.push_back(field.name);
    // A table the run did not create may have other columns than the source's: its rows
    // go one INSERT at a time, as the database takes them, and so do they when the
    // settings ask for it.
    std::unique_ptr<BatchWriter> writer;
    if (created && !request_.settings.oneStatementPerRow) {
        try {
            writer = WriterFor(table, columns);
        } catch (...) {
            writer.reset();  // the rows go through the driver instead
        }
    }
    RowCopy copy(
        records, Source(), "SELECT count(*) FROM " + QuotedName(entry),
        {Target(), RowStatement(request_.target, table, create.NumericColumns(), literals_),
         std::move(writer), request_.settings, request_.target, entry, names,
         // What the created table's columns keep of a value; a table that stood there
         // already has columns of its own.
         created ? create.Rules() : std::vector<ValueRule>()},
        {lines_.readField, lines_.insert, lines_.moveNext}, listener_);

    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    copy.Start([&] {
        std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    });
    // The listener hears of the rows as they go.
    {
        std::unique_lock lock(mutex);
        while (!done.wait_for(lock, std::chrono::milliseconds(50), [&] { return finished; })) {
            lock.unlock();
            listener_.Progress(copy.Handled(), copy.Total());
            lock.lock();
        }
    }
    copy.Join();
    listener_.Progress(copy.Handled(), copy.Total());
    if (!copy.LastStatement().empty())
        statement_ = copy.LastStatement();
    if (copy.ConnectionLost())
        ended_ = true;

    const RowCopy::Tally tally = copy.Result();
    outcome.counted = copy.Total();
    outcome.landed = tally.landed;
    outcome.refused = tally.refused;
    outcome.complete = tally.complete;
    outcome.stopRequested = tally.stopRequested;
    if (tally.stopRequested) {
        // Asked for: not a failure, but the table must not look complete either.
        listener_.Failed(
            lines_.insert,
            adodb::Error(
                "The copy of table " + QuotedName(entry) +
                " stopped as asked: " + std::to_string(tally.landed) + " of " +
                (outcome.counted >= 0 ? std::to_string(outcome.counted) : std::string("its")) +
                " rows arrived."),
            statement_);
    } else if (!tally.complete) {
        // A table cut short must never look finished: say how much of it arrived.
        std::string text = "The copy of table " + QuotedName(entry) +
                           " stopped: " + std::to_string(tally.landed) + " of ";
        text += outcome.counted >= 0 ? std::to_string(outcome.counted) : std::string("its");
        text += " rows arrived";
        if (tally.refused > 0)
            text += ", " + std::to_string(tally.refused) + " were refused";
        if (tally.uncertain > 0)
            text += ", and whether " + std::to_string(tally.uncertain) +
                    " more did could not be learned";
        text += ".";
        listener_.Failed(tally.stoppedAtLine != 0 ? tally.stoppedAtLine : lines_.insert,
                         adodb::Error(text), statement_);
    }
    if (request_.settings.verify && created && !ended_)
        Verify(table, fields, copy.Landed(), outcome);
}

// Reads the target's table back and compares it with the rows that landed. Read as the
// source side would read it, so that both sides' values are in the same text forms.
void TransferRun::Verify(const std::string& table, const std::vector<SourceField>& fields,
                         const TableChecksum& landed, TableOutcome& outcome) {
    std::vector<std::string> names;
    for (const SourceField& field : fields)
        names.push_back(field.name);
    TableChecksum found(fields.size());
    const bool read = Step(lines_.closeRecordset, [&] {
        adodb::Recordset rows;
        const std::string quoted = QuotedName(table);
        rows.Open("SELECT * FROM " + quoted, Target(), adodb::adOpenStatic,
                  adodb::adLockOptimistic);
        if (toPostgreSQL_) {
            std::vector<SourceField> targetFields;
            const adodb::FieldList& list = rows.Fields();
            for (int j = 0; j < list.Count(); ++j)
                targetFields.push_back({list[j].Name(), list[j].Type(), list[j].NativeTypeName()});
            const std::string textForm = ServerTextQuery(quoted, targetFields);
            if (!textForm.empty()) {
                rows.Close();
                rows.Open(textForm, Target());
            }
        }
        const adodb::FieldList& list = rows.Fields();
        while (!rows.IsEOF()) {
            for (int j = 0; j < list.Count(); ++j) {
                const adodb::Variant value = list[j].Value();
                found.AddValue(
                    static_cast<std::size_t>(j),
                    value.IsNull() ? std::nullopt : std::optional<std::string_view>(value.Text()));
            }
            found.EndRow();
            rows.MoveNext();
        }
        rows.Close();
    });
    if (!read) {
        outcome.verified = false;
        outcome.verifyDifference = "the table could not be read back";
        return;
    }
    outcome.verifyDifference = landed.Difference(found, names);
    outcome.verified = outcome.verifyDifference.empty();
    if (!*outcome.verified) {
        listener_.Failed(lines_.closeRecordset,
                         adodb::Error("Verification of table " + QuotedName(table) +
                                      " failed: what the target holds differs from what was "
                                      "written in " +
                                      outcome.verifyDifference + "."),
                         statement_);
    }
}

std::unique_ptr<BatchWriter> TransferRun::WriterFor(const std::string& table, std::size_t columns) {
    if (columns == 0)
        return nullptr;
    if (!toPostgreSQL_)
        return ArrayInsertWriter::Create(sybase_, table, columns);
    // COPY goes over a libpq connection of its own, opened once per run (again after it
    // broke).
    if (!copyConnection_ || copyConnection_->Broken())
        copyConnection_ = PostgresCopyConnection::Open(request_.values, request_.settings);
    if (!copyConnection_)
        return nullptr;
    return std::make_unique<CopyWriter>(*copyConnection_, table);
}

}  // namespace

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
