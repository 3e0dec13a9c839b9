#include "transfer/TableTransfer.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <string>

#include "adodb/Connection.h"
#include "adodb/Recordset.h"
#include "app/Dialogs.h"
#include "app/ErrorTrap.h"
#include "app/EventPump.h"
#include "app/ProgressBar.h"
#include "app/WindowPointer.h"
#include "catalog/SqlName.h"
#include "catalog/TableList.h"
#include "connect/PostgreSQL.h"
#include "connect/Sybase.h"
#include "transfer/ArrayInsertWriter.h"
#include "transfer/Datatype.h"
#include "transfer/PostgresCopy.h"
#include "transfer/RowCopy.h"
#include "transfer/RowStatement.h"
#include "transfer/SourceQuery.h"
#include "transfer/StringLiterals.h"

namespace korvanta {

namespace {

constexpr int kTimeoutSeconds = 5000;

// The line numbers that the error report quotes for the steps of a run; the two
// handlers number their statements differently.
struct Lines {
    int openPostgreSQL;
    int openSybase;
    int dropTable;
    int select;
    int buildCreate;
    int createTable;
    int readField;
    int insert;
    int moveNext;
    int closeRecordset;
    int closeSybase;
    int closePostgreSQL;
};

constexpr Lines kToPostgreSQLLines{118, 126, 154, 158, 160, 214, 238, 282, 284, 294, 300, 302};
constexpr Lines kToSybaseLines{118, 126, 152, 156, 158, 218, 240, 260, 262, 272, 280, 282};

class TransferRun final : public CopyReports {
  public:
    TransferRun(Direction direction, const TransferWindow& window, const ConnectionValues& values,
                TransferSettings settings, Dialogs& dialogs, EventPump& pump)
        : toPostgreSQL_(direction == Direction::ToPostgreSQL),
          direction_(direction),
          lines_(toPostgreSQL_ ? kToPostgreSQLLines : kToSybaseLines),
          window_(window),
          source_(toPostgreSQL_ ? window.list1 : window.list2),
          target_(toPostgreSQL_ ? window.list2 : window.list1),
          values_(values),
          settings_(settings),
          dialogs_(dialogs),
          pump_(pump),
          trap_(dialogs,
                LocationText(QStringLiteral("Form2"), toPostgreSQL_
                                                          ? QStringLiteral("PushButton3_Click")
                                                          : QStringLiteral("PushButton4_Click")),
                &statement_) {}

    void Run();

    // A failure of the row copy, reported from its thread on the window's thread.
    void Report(int line, const adodb::Error& error, const std::string& statement) override;

  private:
    adodb::Connection& Target() { return toPostgreSQL_ ? postgreSQL_ : sybase_; }
    adodb::Connection& Source() { return toPostgreSQL_ ? sybase_ : postgreSQL_; }

    // Runs one step under the trap; false when it failed and was reported. A failure
    // that lost a connection ends the run: every later statement would fail as well.
    template <class F>
    bool Step(int line, F&& step) {
        if (trap_.Step(line, std::forward<F>(step)))
            return true;
        if (trap_.ConnectionLost())
            ended_ = true;
        return false;
    }

    bool OpenConnections();
    void LearnTargetLiterals();
    void SendEntry(int index);
    void OpenSource(const QString& entryText, adodb::Recordset& records,
                    std::vector<SourceField>& fields);
    void CopyRows(adodb::Recordset& records, const QString& entryText, const std::string& tableName,
                  std::size_t columns, std::vector<bool> numericColumns, bool created);
    std::unique_ptr<BatchWriter> WriterFor(const std::string& tableName, std::size_t columns);
    void ShowProgress(long long handled, long long total, bool last);
    void FinishTable(adodb::Recordset& records, const QString& workingName, bool created);
    void ResetWindow();

    const bool toPostgreSQL_;
    const Direction direction_;
    const Lines& lines_;
    const TransferWindow& window_;
    TableList& source_;
    TableList& target_;
    const ConnectionValues& values_;
    const TransferSettings settings_;
    Dialogs& dialogs_;
    EventPump& pump_;
    std::string statement_;  // the last CREATE TABLE or INSERT built, quoted by the report
    ErrorTrap trap_;
    adodb::Connection postgreSQL_;
    adodb::Connection sybase_;
    StringLiterals literals_ = StringLiterals::kStandard;
    std::unique_ptr<PostgresCopyConnection> copyConnection_;
    QObject windowThread_;  // reports from the copy's thread run where this object lives
    bool ended_ = false;
};

void TransferRun::Run() {
    if (source_.CurrentIndex() == -1) {
        dialogs_.Notice(toPostgreSQL_ ? QStringLiteral("Please select a table")
                                      : QStringLiteral("Please select a table to send."));
        return;
    }
    window_.pointer.SetMode(WindowPointer::kBusy);
    if (!OpenConnections()) {
        // Every statement would go to a closed connection: one report is enough.
        ResetWindow();
        return;
    }
    LearnTargetLiterals();
    const int count = source_.Count();
    for (int index = count - 1; index >= 0 && !ended_; --index)
        SendEntry(index);
    copyConnection_.reset();
    if (ended_) {
        // A connection was lost: the open objects are dropped without further reports.
        ResetWindow();
        return;
    }
    if (!toPostgreSQL_)
        window_.pointer.SetMode(WindowPointer::kDefault);
    Step(lines_.closeSybase, [&] { sybase_.Close(); });
    Step(lines_.closePostgreSQL, [&] { postgreSQL_.Close(); });
    if (toPostgreSQL_)
        window_.pointer.SetMode(WindowPointer::kDefault);
}

bool TransferRun::OpenConnections() {
    // PostgreSQL first in both directions. Both read through cursors of the server, so
    // that a source streams however large it is.
    postgreSQL_.CursorLocation = adodb::adUseServer;
    postgreSQL_.CommandTimeout = kTimeoutSeconds;
    postgreSQL_.ConnectionTimeout = kTimeoutSeconds;
    if (!Step(lines_.openPostgreSQL, [&] { OpenPostgreSQL(postgreSQL_, values_); }))
        return false;
    sybase_.CursorLocation = adodb::adUseServer;
    sybase_.CommandTimeout = kTimeoutSeconds;
    sybase_.ConnectionTimeout = kTimeoutSeconds;
    return Step(lines_.openSybase, [&] { OpenSybase(sybase_, values_); });
}

// Values are written between apostrophes as the target reads them back unchanged. What
// cannot be learned is taken as the standard.
void TransferRun::LearnTargetLiterals() {
    try {
        if (toPostgreSQL_) {
            adodb::Recordset setting = postgreSQL_.Execute("SHOW standard_conforming_strings");
            if (!setting.IsEOF())
                literals_ = LiteralsOfPostgreSQL(setting.Fields()[0].Value().Text());
        } else {
            literals_ = LiteralsOfDataSource(sybase_.DbmsName());
        }
    } catch (const std::exception&) {
        literals_ = StringLiterals::kStandard;
    }
}

void TransferRun::SendEntry(int index) {
    if (toPostgreSQL_)
        pump_.LetThrough();
    // The events let through may have changed the list; an entry that is gone is skipped.
    if (index >= source_.Count() || !source_.Selected(index))
        return;
    const QString entryText = source_.Text(index);
    QString workingName = entryText;

    bool overwrite = false;
    if (ListContains(target_, workingName)) {
        // The target's own spelling of the name is used from here on; the last match wins.
        const QString lower = workingName.toLower();
        for (int j = 0; j < target_.Count(); ++j) {
            if (target_.Text(j).toLower() == lower)
                workingName = target_.Text(j);
        }
        if (!dialogs_.AskYesNo(
                QStringLiteral("Would you like to overwrite ") + workingName + QLatin1Char('?'),
                QStringLiteral("Overwrite?"))) {
            return;
        }
        overwrite = true;
    }

    // The source is read, under the list entry's own spelling, before anything is dropped:
    // a source that cannot be read leaves the target's table as it was.
    adodb::Recordset records;
    std::vector<SourceField> fields;
    // Without a record set there is nothing to create or copy: on to the next entry.
    if (!Step(lines_.select, [&] { OpenSource(entryText, records, fields); }))
        return;

    if (overwrite) {
        const std::string drop = "DROP TABLE " + QuotedName(workingName.toStdString());
        Step(lines_.dropTable, [&] { Target().Execute(drop); });
        if (ended_)
            return;
        ListRemoveEntry(target_, toPostgreSQL_ ? workingName.toLower() : workingName);
    }

    const std::string tableName = workingName.toStdString();
    CreateTableBuilder create(direction_, tableName);
    const bool built = Step(lines_.buildCreate, [&] {
        for (const SourceField& field : fields) {
            pump_.LetThrough();
            create.AddColumn(field.name, field.type);
        }
        statement_ = create.Statement();
    });
    if (!built)
        return;
    const bool created = Step(lines_.createTable, [&] { Target().Execute(statement_); });
    if (!ended_)
        CopyRows(records, entryText, tableName, fields.size(), create.NumericColumns(), created);
    FinishTable(records, workingName, created);
}

// Opens SELECT * FROM the entry's table on the source. psqlODBC rewrites dates, times,
// timestamps and GUIDs into forms that lose what they cannot hold (infinity, years BC or
// after 9999, time zones, letter case); those columns are read again as the server's own
// text, and money as its plain number, by a second query over the same rows.
void TransferRun::OpenSource(const QString& entryText, adodb::Recordset& records,
                             std::vector<SourceField>& fields) {
    const std::string table = QuotedName(entryText.toStdString());
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

void TransferRun::CopyRows(adodb::Recordset& records, const QString& entryText,
                           const std::string& tableName, std::size_t columns,
                           std::vector<bool> numericColumns, bool created) {
    // A table the run did not create may have other columns than the source's: its rows
    // go one INSERT at a time, as the database takes them, and so do they when the
    // settings ask for it.
    std::unique_ptr<BatchWriter> writer;
    if (created && !settings_.oneStatementPerRow)
        writer = WriterFor(tableName, columns);
    RowCopy copy(
        records, Source(), "SELECT count(*) FROM " + QuotedName(entryText.toStdString()),
        {Target(), RowStatement(direction_, tableName, std::move(numericColumns), literals_),
         std::move(writer)},
        {lines_.readField, lines_.insert, lines_.moveNext}, *this);

    // The window goes on repainting and answering while the rows go; the progress bar
    // follows the rows written.
    QEventLoop loop;
    QTimer progress;
    progress.setInterval(50);
    QObject::connect(&progress, &QTimer::timeout,
                     [&] { ShowProgress(copy.Handled(), copy.Total(), false); });
    copy.Start(
        [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    progress.start();
    loop.exec();
    progress.stop();
    copy.Join();
    ShowProgress(copy.Handled(), copy.Total(), true);
    if (!copy.LastStatement().empty())
        statement_ = copy.LastStatement();
    if (copy.ConnectionLost())
        ended_ = true;
}

std::unique_ptr<BatchWriter> TransferRun::WriterFor(const std::string& tableName,
                                                    std::size_t columns) {
    if (columns == 0)
        return nullptr;
    if (!toPostgreSQL_)
        return ArrayInsertWriter::Create(sybase_, tableName, columns);
    // COPY goes over a libpq connection of its own, opened once per run (again after it
    // broke).
    if (!copyConnection_ || copyConnection_->Broken())
        copyConnection_ = PostgresCopyConnection::Open(values_);
    if (!copyConnection_)
        return nullptr;
    return std::make_unique<CopyWriter>(*copyConnection_, tableName);
}

// (k + 1) / n * 100 for the rows handled so far; the last row gives 100, a source that
// grew while it was read stops at 100. Only changes are drawn.
void TransferRun::ShowProgress(long long handled, long long total, bool last) {
    if (handled <= 0)
        return;
    double value;
    if (total > 0) {
        value = std::min(100.0, static_cast<double>(handled) / static_cast<double>(total) * 100.0);
    } else if (last) {
        value = 100.0;
    } else {
        return;
    }
    if (value != window_.progress.Value())
        window_.progress.SetValue(value);
}

void TransferRun::Report(int line, const adodb::Error& error, const std::string& statement) {
    QMetaObject::invokeMethod(
        &windowThread_,
        [&] {
            statement_ = statement;
            trap_.ReportFailure(line, error);
        },
        Qt::BlockingQueuedConnection);
}

void TransferRun::FinishTable(adodb::Recordset& records, const QString& workingName, bool created) {
    if (ended_) {
        // The run stops here (Run resets the window); the list still learns of a table
        // that was created.
        if (created)
            target_.Add(toPostgreSQL_ ? workingName.toLower() : workingName);
        return;
    }
    window_.pointer.SetMode(WindowPointer::kDefault);
    window_.progress.SetValue(0);
    window_.progress.SetText(QStringLiteral("Progress Bar"));
    Step(lines_.closeRecordset, [&] { records.Close(); });
    target_.Add(toPostgreSQL_ ? workingName.toLower() : workingName);
}

void TransferRun::ResetWindow() {
    window_.pointer.SetMode(WindowPointer::kDefault);
    window_.progress.SetValue(0);
    window_.progress.SetText(QStringLiteral("Progress Bar"));
}

}  // namespace

void SendTables(Direction direction, const TransferWindow& window, const ConnectionValues& values,
                const TransferSettings& settings, Dialogs& dialogs, EventPump& pump) {
    TransferRun(direction, window, values, settings, dialogs, pump).Run();
}

}  // namespace korvanta
