#include "transfer/TableTransfer.h"

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
#include "transfer/Datatype.h"
#include "transfer/RowStatement.h"

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
    int rowCount;
    int fieldLoop;
    int readField;
    int insert;
    int moveNext;
    int closeRecordset;
    int closeSybase;
    int closePostgreSQL;
};

constexpr Lines kToPostgreSQLLines{118, 126, 154, 158, 160, 214, 216,
                                   226, 238, 282, 284, 294, 300, 302};
constexpr Lines kToSybaseLines{118, 126, 152, 156, 158, 218, 220,
                               230, 240, 260, 262, 272, 280, 282};

class TransferRun {
  public:
    TransferRun(Direction direction, const TransferWindow& window, const ConnectionValues& values,
                Dialogs& dialogs, EventPump& pump)
        : toPostgreSQL_(direction == Direction::ToPostgreSQL),
          direction_(direction),
          lines_(toPostgreSQL_ ? kToPostgreSQLLines : kToSybaseLines),
          window_(window),
          source_(toPostgreSQL_ ? window.list1 : window.list2),
          target_(toPostgreSQL_ ? window.list2 : window.list1),
          values_(values),
          dialogs_(dialogs),
          pump_(pump),
          trap_(dialogs,
                LocationText(QStringLiteral("Form2"), toPostgreSQL_
                                                          ? QStringLiteral("PushButton3_Click")
                                                          : QStringLiteral("PushButton4_Click")),
                &statement_) {}

    void Run();

  private:
    adodb::Connection& Target() { return toPostgreSQL_ ? postgreSQL_ : sybase_; }

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
    void SendEntry(int index);
    void CopyRows(adodb::Recordset& records, const std::string& tableName,
                  std::vector<bool> numericColumns);
    void FinishTable(adodb::Recordset& records, const QString& workingName, bool created);
    void ResetWindow();

    const bool toPostgreSQL_;
    const Direction direction_;
    const Lines& lines_;
    const TransferWindow& window_;
    TableList& source_;
    TableList& target_;
    const ConnectionValues& values_;
    Dialogs& dialogs_;
    EventPump& pump_;
    std::string statement_;  // the last CREATE TABLE or INSERT built, quoted by the report
    ErrorTrap trap_;
    adodb::Connection postgreSQL_;
    adodb::Connection sybase_;
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
    const int count = source_.Count();
    for (int index = count - 1; index >= 0 && !ended_; --index)
        SendEntry(index);
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
    // PostgreSQL first in both directions; the source reads through a client-side
    // cursor, so that its row count is known, the target through a server-side one.
    postgreSQL_.CursorLocation = toPostgreSQL_ ? adodb::adUseServer : adodb::adUseClient;
    postgreSQL_.CommandTimeout = kTimeoutSeconds;
    postgreSQL_.ConnectionTimeout = kTimeoutSeconds;
    if (!Step(lines_.openPostgreSQL, [&] { OpenPostgreSQL(postgreSQL_, values_); }))
        return false;
    sybase_.CursorLocation = toPostgreSQL_ ? adodb::adUseClient : adodb::adUseServer;
    sybase_.CommandTimeout = kTimeoutSeconds;
    sybase_.ConnectionTimeout = kTimeoutSeconds;
    return Step(lines_.openSybase, [&] { OpenSybase(sybase_, values_); });
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
    const std::string select = "SELECT * FROM " + QuotedName(entryText.toStdString());
    adodb::Recordset records;
    const bool opened = Step(lines_.select, [&] {
        if (toPostgreSQL_) {
            records.Open(select, sybase_, adodb::adOpenStatic, adodb::adLockOptimistic);
        } else {
            records.Open(select, postgreSQL_);
        }
    });
    // Without a record set there is nothing to create or copy: on to the next entry.
    if (!opened)
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
        const adodb::FieldList& fields = records.Fields();
        for (int j = 0; j < fields.Count(); ++j) {
            pump_.LetThrough();
            create.AddColumn(fields[j].Name(), fields[j].Type());
        }
        statement_ = create.Statement();
    });
    if (!built)
        return;
    const bool created = Step(lines_.createTable, [&] { Target().Execute(statement_); });
    if (!ended_)
        CopyRows(records, tableName, create.NumericColumns());
    FinishTable(records, workingName, created);
}

void TransferRun::CopyRows(adodb::Recordset& records, const std::string& tableName,
                           std::vector<bool> numericColumns) {
    long long rowCount = 0;
    if (!Step(lines_.rowCount, [&] { rowCount = records.RecordCount(); }))
        return;
    const RowStatement row(direction_, tableName, std::move(numericColumns));
    const adodb::FieldList* fields = nullptr;
    if (!Step(lines_.fieldLoop, [&] { fields = &records.Fields(); }))
        return;
    const int fieldCount = fields->Count();
    adodb::Connection& target = Target();

    for (long long k = 0; k < rowCount; ++k) {
        pump_.LetThrough();
        window_.progress.SetValue(static_cast<double>(k + 1) / static_cast<double>(rowCount) *
                                  100.0);
        row.Begin(statement_);
        bool complete = true;
        for (int j = 0; j < fieldCount && complete; ++j) {
            pump_.LetThrough();
            complete = Step(lines_.readField, [&] {
                row.AddValue(statement_, static_cast<std::size_t>(j), (*fields)[j].Value());
            });
        }
        if (ended_)
            return;
        // A row whose values could not all be read is not written with gaps.
        if (complete) {
            row.End(statement_);
            Step(lines_.insert, [&] { target.Execute(statement_); });
            if (ended_)
                return;
        }
        // A record set that cannot move on would give the same row for ever.
        if (!Step(lines_.moveNext, [&] { records.MoveNext(); }))
            return;
    }
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
                Dialogs& dialogs, EventPump& pump) {
    TransferRun(direction, window, values, dialogs, pump).Run();
}

}  // namespace korvanta
